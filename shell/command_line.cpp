#include "shell/command_line.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace shell {

CommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QString::fromUtf8("Análisis de Socios: balances de préstamos y cuentas por cobrar."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption database(
        "database",
        QString::fromUtf8("Base de datos a usar en esta ejecución, en lugar de la de db.ini."),
        "PATH");
    parser.addOption(database);

    const QString program =
        arguments.isEmpty() ? QString("analisis-socios") : QFileInfo(arguments.first()).fileName();
    // Without an application object Qt cannot name the program itself.
    const auto usage = [&] {
        return parser.helpText().replace("<executable_name>", program).toLocal8Bit().toStdString();
    };

    CommandLine result;
    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty()) {
        const QString error =
            parser.errorText().isEmpty()
                ? QString("Unexpected argument '%1'.").arg(parser.positionalArguments().join(' '))
                : parser.errorText();
        result.run = false;
        result.exit_code = kUsageExitCode;
        result.to_standard_error = true;
        result.output = program.toLocal8Bit().toStdString() + ": " +
                        error.toLocal8Bit().toStdString() + "\n" + usage();
        return result;
    }
    if (parser.isSet(help) || parser.isSet("help-all")) {
        result.run = false;
        result.output = usage();
        return result;
    }
    if (parser.isSet(version)) {
        result.run = false;
        result.output = program.toLocal8Bit().toStdString() + " " COOP_VERSION "\n";
        return result;
    }
    if (parser.isSet(database))
        result.database = parser.value(database).toLocal8Bit().toStdString();
    return result;
}

}  // namespace shell
