// Where the program finds db.ini, and its command line as a user runs it.
#include "config/config_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "config/login.h"
#include "runtime/exception.h"
#include "shell/command_line.h"
#include "tests/support/test_database.h"

namespace {

namespace fs = std::filesystem;

void Write(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// Three places as the program lists them: the working folder's bare name,
// a user folder and a machine folder, all inside a scratch folder.
struct Places {
    test_support::TempDir dir;
    std::string here = dir.File("work/db.ini");
    std::string user = dir.File("home/.config/analisis-socios/db.ini");
    std::string machine = dir.File("etc/analisis-socios/db.ini");
    std::vector<std::string> List() const { return {here, user, machine}; }
};

TEST(ConfigFile, TheFirstPlaceHoldingADbIniWinsInOrder) {
    Places places;
    Write(places.machine, "machine.fdb\n");
    EXPECT_EQ(config::FindConfigFile(places.List()), places.machine);
    Write(places.user, "user.fdb\n");
    EXPECT_EQ(config::FindConfigFile(places.List()), places.user);
    Write(places.here, "here.fdb\n");
    EXPECT_EQ(config::FindConfigFile(places.List()), places.here);
    // Something there that cannot be read is still the place chosen: its
    // own failure is reported rather than silently using the next file.
    fs::remove(places.here);
    fs::create_directories(places.here);
    EXPECT_EQ(config::FindConfigFile(places.List()), places.here);
}

TEST(ConfigFile, NoDbIniAnywhereIsFileNotFoundNamingEveryPlace) {
    Places places;
    try {
        config::FindConfigFile(places.List());
        FAIL() << "no place holds a db.ini";
    } catch (const runtime::EInOutError& e) {
        EXPECT_EQ(e.ErrorCode(), 2);
        const std::string& text = e.Message();
        EXPECT_EQ(text.rfind("File not found.\n", 0), 0u) << text;
        const size_t here = text.find(places.here);
        const size_t user = text.find(places.user);
        const size_t machine = text.find(places.machine);
        ASSERT_NE(here, std::string::npos) << text;
        ASSERT_NE(user, std::string::npos) << text;
        ASSERT_NE(machine, std::string::npos) << text;
        EXPECT_LT(here, user);
        EXPECT_LT(user, machine);
        EXPECT_EQ(text.back(), '.') << "the error box adds no full stop after a path";
    }
}

TEST(ConfigFile, PlacesAreTheWorkingFolderTheUserConfigurationThenEtc) {
    test_support::TempDir dir;
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string previous = saved ? saved : "";
    setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
    const std::vector<std::string> places = config::ConfigFilePlaces();
    if (saved) {
        setenv("XDG_CONFIG_HOME", previous.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
    ASSERT_EQ(places.size(), 3u);
    EXPECT_EQ(places[0], "db.ini");
    EXPECT_EQ(places[1], dir.File("analisis-socios/db.ini"));
    EXPECT_EQ(places[2], "/etc/analisis-socios/db.ini");
}

// The login: per part, the environment over conexion.ini over the built-in one.
TEST(Login, EachPartComesFromTheEnvironmentElseTheFileElseTheBuiltInLogin) {
    using Environment = std::map<std::string, std::string>;
    const config::Login file{"maria", "clave del archivo", "ANALISTA_SOCIOS"};
    const struct {
        const char* what;
        config::Login file;
        Environment environment;
        std::vector<std::string> lines;
    } cases[] = {
        {"nothing set: the built-in login, no role",
         {},
         {},
         {"user_name=sysdba", "password=plumbrid"}},
        {"the file's three lines",
         file,
         {},
         {"user_name=maria", "password=clave del archivo", "sql_role_name=ANALISTA_SOCIOS"}},
        {"the environment over the file, part by part",
         file,
         {{"ISC_PASSWORD", "clave del entorno"}, {"ISC_ROLE", "OTRO"}},
         {"user_name=maria", "password=clave del entorno", "sql_role_name=OTRO"}},
        {"the environment alone",
         {},
         {{"ISC_USER", "pedro"}, {"ISC_PASSWORD", "x"}, {"ISC_ROLE", "ANALISTA_SOCIOS"}},
         {"user_name=pedro", "password=x", "sql_role_name=ANALISTA_SOCIOS"}},
        {"a user from the file keeps the built-in password",
         {"maria", std::nullopt, std::nullopt},
         {},
         {"user_name=maria", "password=plumbrid"}},
        {"empty values count as not given",
         {"", "", ""},
         {{"ISC_USER", ""}, {"ISC_ROLE", ""}},
         {"user_name=sysdba", "password=plumbrid"}},
    };
    for (const auto& c : cases) {
        const auto environment = [&c](const char* name) -> const char* {
            const auto found = c.environment.find(name);
            return found == c.environment.end() ? nullptr : found->second.c_str();
        };
        EXPECT_EQ(config::LoginLines(config::ResolveLogin(c.file, environment)), c.lines) << c.what;
    }
}

TEST(Login, ConexionIniIsReadFromTheFirstPlaceHoldingOneWhenOnlyItsOwnerCanReadIt) {
    Places places;
    const auto at = [](const std::string& db_ini) {
        return fs::path(db_ini).replace_filename("conexion.ini").string();
    };
    const std::vector<std::string> list = {at(places.here), at(places.user), at(places.machine)};
    // None anywhere is no error: the built-in login stands.
    const config::Login none = config::ReadConnectionFile(list);
    EXPECT_FALSE(none.user_name || none.password || none.sql_role_name);

    Write(list[2], "user_name=maquina\n");
    fs::permissions(list[2], fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(config::ReadConnectionFile(list).user_name, "maquina");

    Write(list[1],
          "\xEF\xBB\xBF# el analista\r\nuser_name=maria\r\n\n  ; sin rol por ahora\n"
          "PASSWORD= con blancos \nsql_role_name=ANALISTA_SOCIOS");
    fs::permissions(list[1], fs::perms::owner_read | fs::perms::owner_write);
    const config::Login user = config::ReadConnectionFile(list);
    EXPECT_EQ(user.user_name, "maria");
    EXPECT_EQ(user.password, " con blancos ");
    EXPECT_EQ(user.sql_role_name, "ANALISTA_SOCIOS");

    // Readable by others: refused, saying which file, why and how to fix it,
    // and never quoting the password.
    Write(list[0], "user_name=otro\npassword=secreta\n");
    fs::permissions(list[0], fs::perms::owner_read | fs::perms::owner_write |
                                 fs::perms::group_read | fs::perms::others_read);
    try {
        config::ReadConnectionFile(list);
        FAIL() << "a conexion.ini others can read was used";
    } catch (const runtime::Exception& e) {
        const std::string& text = e.Message();
        EXPECT_NE(text.find(list[0]), std::string::npos) << text;
        EXPECT_NE(text.find("lo pueden leer otros usuarios"), std::string::npos) << text;
        EXPECT_NE(text.find("0644"), std::string::npos) << text;
        EXPECT_NE(text.find("chmod 600 " + list[0]), std::string::npos) << text;
        EXPECT_EQ(text.find("secreta"), std::string::npos) << text;
    }
    fs::permissions(list[0], fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(config::ReadConnectionFile(list).user_name, "otro");

    // A line that is none of the three is refused by its number alone: it
    // may be a password written without its name.
    Write(list[0], "user_name=otro\nsecreta\n");
    try {
        config::ReadConnectionFile(list);
        FAIL() << "a stray line was ignored";
    } catch (const runtime::Exception& e) {
        EXPECT_NE(e.Message().find("l\xEDnea 2"), std::string::npos) << e.Message();
        EXPECT_EQ(e.Message().find("secreta"), std::string::npos) << e.Message();
    }
}

TEST(ConfigFile, ADatabaseGivenOnTheCommandLineReplacesDbIni) {
    config::SetDatabaseOverride("server:/datos/coop.fdb");
    EXPECT_EQ(config::StartupDatabaseName(), "server:/datos/coop.fdb");
    config::SetDatabaseOverride(std::nullopt);
}

using ProgramRun = test_support::CommandRun;

// The program with arguments (already quoted) and no display at all: none
// of these may need one. The system's language is English unless given.
ProgramRun RunProgram(const std::string& arguments, const std::string& language = "C.UTF-8") {
    test_support::TempDir dir;
    return test_support::RunCommand(dir,
                                    "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u "
                                    "LC_ALL -u LC_MESSAGES -u LANGUAGE LANG=" +
                                        language + " '" COOP_PROGRAM "' " + arguments);
}

TEST(CommandLine, HelpAndVersionAnswerWithoutADisplay) {
    const ProgramRun help = RunProgram("--help");
    EXPECT_EQ(help.exit_code, 0) << help.err;
    EXPECT_EQ(help.out.rfind("Usage: analisis-socios [options]\n", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("--database <PATH>"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("--version"), std::string::npos) << help.out;
    EXPECT_EQ(RunProgram("-h").out, help.out);

    const ProgramRun version = RunProgram("--version");
    EXPECT_EQ(version.exit_code, 0) << version.err;
    EXPECT_EQ(version.out, "analisis-socios " COOP_VERSION "\n");
}

TEST(CommandLine, QtsOwnHeadingsAreSpanishOnASpanishSystemAndTheProgramsTextsStayAsTheyAre) {
    const ProgramRun help = RunProgram("--help", "es_ES.UTF-8");
    EXPECT_EQ(help.exit_code, 0) << help.err;
    EXPECT_EQ(help.out.rfind("Uso: analisis-socios [opciones]\n", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("Opciones:"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("--database <PATH>"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("Base de datos a usar en esta ejecuci"), std::string::npos) << help.out;
    EXPECT_EQ(RunProgram("--version", "es_ES.UTF-8").out, "analisis-socios " COOP_VERSION "\n");
}

TEST(CommandLine, UnknownOptionsAndStrayArgumentsGiveTheUsageAndExitCodeTwo) {
    const struct {
        const char* arguments;
        const char* error;
    } cases[] = {
        {"--bogus", "analisis-socios: Unknown option 'bogus'.\n"},
        {"--database", "analisis-socios: Missing value after '--database'.\n"},
        {"stray.fdb", "analisis-socios: Unexpected argument 'stray.fdb'.\n"},
    };
    for (const auto& c : cases) {
        const ProgramRun run = RunProgram(c.arguments);
        EXPECT_EQ(run.exit_code, shell::kUsageExitCode) << c.arguments;
        EXPECT_EQ(run.out, "") << c.arguments;
        EXPECT_EQ(run.err.rfind(c.error, 0), 0u) << c.arguments << ": " << run.err;
        EXPECT_NE(run.err.find("Usage: analisis-socios [options]"), std::string::npos) << run.err;
    }
}

}  // namespace
