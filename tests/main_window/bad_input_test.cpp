// Bad input refused cleanly: a db.ini that names no usable database, text
// typed to break a statement, and a database whose tables differ from ours.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "tests/main_window/window_fixture.h"
#include "tools/demo_db/demo_catalogue.h"

namespace {

constexpr const char* kConnectionFailure = "Error de conexion a la base de datos ";
constexpr const char* kCannotRun =
    "\rLa aplicacion no podra ser ejecutada, contacte a soporte tecnico\r";

QJsonArray Messages(const QJsonObject& state) {
    return state["messages"].toArray();
}

// Every db.ini here names something that is not a database the program can
// open: start-up ends in its connection message, with the server's reason
// on its own line, well inside the connect timeout, and nothing crashes.
TEST_F(WindowTest, DbIniNamingNoUsableDatabaseEndsInTheConnectionMessageWithItsReason) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919 + 13) % 256);
    std::ofstream(dir_.File("notes.txt")) << "not a database\n";
    const struct {
        const char* what;
        std::string db_ini;
        const char* reason;  // a piece of the reason's text
    } cases[] = {
        {"binary garbage", garbage, ""},
        {"a 10 MB line", std::string(10 * 1024 * 1024, 'x') + "\n", "longer than"},
        {"a line too long for the client's 16-bit length", "/" + std::string(40000, 'y'),
         "longer than"},
        {"bytes valid in no encoding", "/tmp/\xFF\xFE\xC0\x80\x1B[2J.fdb\n", ""},
        {"a file that is not a database", dir_.File("notes.txt") + "\n", "notes.txt"},
        {"a directory", dir_.Path().string() + "\n", ""},
        {"a server that does not resolve", "no-such-host.invalid:/data/coop.fdb\n", ""},
        {"a port nobody listens on", "127.0.0.1/1:/data/coop.fdb\n", "connection"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteDbIni(c.db_ini);
        QElapsedTimer timer;
        timer.start();
        const QJsonObject state = Start();
        EXPECT_LT(timer.elapsed(), 30000);
        ASSERT_EQ(Messages(state).size(), 1);
        const std::string text = Text(Messages(state)[0].toObject()["text"]);
        EXPECT_EQ(text.rfind(kConnectionFailure, 0), 0u) << text;
        const size_t fixed_end = text.find(kCannotRun);
        ASSERT_NE(fixed_end, std::string::npos) << text;
        EXPECT_GT(text.size(), fixed_end + std::string(kCannotRun).size()) << "no reason given";
        EXPECT_NE(text.find(c.reason, fixed_end), std::string::npos) << text;
        EXPECT_LT(text.size(), 2000u);
        for (const char ch : text) {
            EXPECT_FALSE(static_cast<unsigned char>(ch) < 0x20 && ch != '\r') << text;
        }
        EXPECT_FALSE(Window().Connection().Connected());
        window_.reset();
        probe_.reset();
    }
}

TEST_F(WindowTest, DbIniWithAByteOrderMarkTabsAndTrailingBlankLinesStillConnects) {
    WriteDbIni("\xEF\xBB\xBF\t" + database_ + "\t\r\n\r\n\n");
    const QJsonObject state = Start();
    EXPECT_TRUE(Messages(state).isEmpty());
    EXPECT_TRUE(Window().Connection().Connected());
}

TEST_F(WindowTest, WithoutDbIniNoDatabaseIsOpenedInItsPlace) {
    std::filesystem::remove(dir_.File("db.ini"));
    Start();
    EXPECT_FALSE(std::filesystem::exists(main_window::TFmain::kDefaultDatabaseName));
    // The first lookup tries the built-in name and fails on it.
    const QJsonObject state = Do({std::string("code ") + demo::kMemberActive});
    ASSERT_EQ(Messages(state).size(), 1);
    EXPECT_EQ(Text(Messages(state)[0].toObject()["kind"]), "error");
    EXPECT_EQ(Label(state, "lbnombre"), "");
    EXPECT_FALSE(Window().Connection().Connected());
}

// Text meant to break a statement is only ever a value: it finds nothing,
// it writes nothing, and the window goes on.
TEST_F(WindowTest, HostileTextInTheBoxesIsBoundAndWritesNothing) {
    Start();
    test_support::RawConnection raw(database_);
    const std::string before = raw.QueryText("select count(*) from clientes") + "/" +
                               raw.QueryText("select sum(clt_balance) from clientes");
    const std::vector<std::string> codes = {
        "'", "''--",   "0';delete", ":p",           "%",
        "_", "00001%", "0000_",     "\x01\x02\x7F", "\xC3\xA1\xC3\xB1",
    };
    for (const std::string& code : codes) {
        const QJsonObject state = Do({"code " + code});
        ASSERT_EQ(Messages(state).size(), 1) << code;
        EXPECT_EQ(Text(Messages(state)[0].toObject()["kind"]), "info") << code;
    }
    std::string pasted(10000, 'A');
    const QJsonObject overlong = Do({"code " + pasted});
    EXPECT_EQ(Messages(overlong).size(), 1);

    for (const char* box : {"codigo", "nombres", "apellidos", "telefono", "cedula", "empresa"}) {
        for (const char* text : {"' OR ''='", "%", "_", ":em", "x;--", "select * from clientes"}) {
            const std::vector<std::string> out =
                Lines({"search", std::string("find {\"") + box + "\": \"" + text + "\"}", "dump",
                       "leave"});
            ASSERT_FALSE(out.empty());
            const QJsonObject found = QJsonDocument::fromJson(out[0].c_str()).object();
            EXPECT_TRUE(found["grids"].toObject()["gridclt"].toObject()["rows"].toArray().isEmpty())
                << box << " " << text;
        }
    }
    EXPECT_EQ(raw.QueryText("select count(*) from clientes") + "/" +
                  raw.QueryText("select sum(clt_balance) from clientes"),
              before);
    EXPECT_FALSE(Label(Do({std::string("code ") + demo::kMemberActive}), "lbnombre").empty());
}

// The cooperative's tables may differ from ours. Each difference gives a
// message naming what differs, and the window stays usable.
class SchemaDifferenceTest : public WindowTest {
  protected:
    void Alter(std::initializer_list<std::string> statements) {
        test_support::RawConnection raw(database_);
        for (const std::string& sql : statements) raw.Execute(sql);
    }
    void ExpectMessageNaming(const QJsonObject& state, const std::string& name) {
        ASSERT_EQ(Messages(state).size(), 1);
        const std::string text = Text(Messages(state)[0].toObject()["text"]);
        EXPECT_NE(text.find(name), std::string::npos) << text;
        EXPECT_EQ(Label(state, "lbnombre"), "");
        // Still usable: Limpiar clears, the next lookup runs.
        const QJsonObject cleared = Do({"press btlimpiar"});
        EXPECT_EQ(Text(cleared["edsocio"]), "");
    }
};

TEST_F(SchemaDifferenceTest, LongerMemberTextColumnsAreReadWhole) {
    const std::string name(300, 'N');
    Alter({"alter table clientes alter clt_nombresyapellidos type varchar(400)",
           "alter table clientes alter clt_nombres type varchar(220)",
           "update clientes set clt_nombresyapellidos = '" + name + "', clt_nombres = '" +
               std::string(210, 'M') + "' where clt_codigo = '" + demo::kMemberActive + "'"});
    Start();
    const QJsonObject state = Do({std::string("code ") + demo::kMemberActive});
    EXPECT_TRUE(Messages(state).isEmpty()) << Text(Messages(state)[0].toObject()["text"]);
    EXPECT_EQ(Label(state, "lbnombre"), name);
    // The search grid shows the longer first names too.
    const std::vector<std::string> out =
        Lines({"search", std::string("find {\"codigo\": \"") + demo::kMemberActive + "\"}", "dump",
               "leave"});
    ASSERT_FALSE(out.empty());
    EXPECT_TRUE(QJsonDocument::fromJson(out[0].c_str()).object()["messages"].toArray().isEmpty())
        << out[0];
}

TEST_F(SchemaDifferenceTest, MissingMemberColumnIsNamed) {
    Alter({"alter table clientes drop pasaporte"});
    Start();
    ExpectMessageNaming(Do({std::string("code ") + demo::kMemberActive}), "PASAPORTE");
}

TEST_F(SchemaDifferenceTest, MissingReceivablesTableIsNamed) {
    Alter({"drop table cxctrx"});
    Start();
    ExpectMessageNaming(Do({std::string("code ") + demo::kMemberActive}), "CXCTRX");
}

TEST_F(SchemaDifferenceTest, AmountStoredAsNumericIsReadOrNamed) {
    Alter({"alter table clientes drop clt_balance",
           "alter table clientes add clt_balance numeric(9,2)",
           "update clientes set clt_balance = 12.5"});
    Start();
    const QJsonObject state = Do({std::string("code ") + demo::kMemberActive});
    if (!Messages(state).isEmpty()) {
        const std::string text = Text(Messages(state)[0].toObject()["text"]);
        EXPECT_NE(text.find("CLT_BALANCE"), std::string::npos) << text;
        EXPECT_EQ(Label(state, "lbnombre"), "");
    } else {
        EXPECT_EQ(Label(state, "lbnombre"), demo::kMemberActiveName);
    }
}

}  // namespace

namespace {

// A start that could not connect ends the program with status 1, not 0, so
// a script or session manager starting it can tell.
TEST_F(WindowTest, AStartThatCannotConnectEndsWithExitStatusOne) {
    WriteDbIni(dir_.File("no-existe.fdb") + "\n");
    ui::SetDialogResponder(&responder_);
    window_ = shell::CreateMainWindow();
    ASSERT_TRUE(window_);
    QTimer::singleShot(0, window_.get(), [this] { window_->show(); });
    QTimer::singleShot(20000, [] { QCoreApplication::exit(99); });  // should it never end
    EXPECT_EQ(QCoreApplication::exec(), 1);
    EXPECT_FALSE(Window().Connection().Connected());
}

}  // namespace
