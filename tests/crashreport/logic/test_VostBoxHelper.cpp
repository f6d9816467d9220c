// The wire between the crashed process and the box's helper, the box's text and the web page.
#include "crashreport/logic/VostBoxHelper.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/socket.h>
#include <unistd.h>

TEST(VostBoxHelper, MessagesAreFramedAndCapped)
{
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    uint32_t type = 0;
    std::string payload;
    ASSERT_TRUE(WriteBoxMessage(pair[0], bmAction, std::string("1/tmp/x\0y", 9)));
    ASSERT_TRUE(ReadBoxMessage(pair[1], type, payload, 1000));
    EXPECT_EQ(type, uint32_t(bmAction));
    EXPECT_EQ(payload, std::string("1/tmp/x\0y", 9));
    // A length above the cap is refused before anything is allocated or read.
    const std::string huge = EncodeBoxMessage(bmBoxData, "").substr(0, 4) + std::string("\x01\x00\x00\x01", 4);
    ASSERT_EQ(::write(pair[0], huge.data(), huge.size()), ssize_t(huge.size()));
    EXPECT_FALSE(ReadBoxMessage(pair[1], type, payload, 1000));
    // Nothing there in time, or a peer gone midway: false, no hang.
    EXPECT_FALSE(ReadBoxMessage(pair[1], type, payload, 50));
    const std::string cut = EncodeBoxMessage(bmClosed, "6").substr(0, 6);
    ASSERT_EQ(::write(pair[0], cut.data(), cut.size()), ssize_t(cut.size()));
    ::close(pair[0]);
    EXPECT_FALSE(ReadBoxMessage(pair[1], type, payload, 1000));
    ::close(pair[1]);
}

TEST(VostBoxHelper, HelperSwitch)
{
    struct {
        const char* Argument;
        bool Helper;
        int Fd;
    } cases[] = {
        { "--vostexcept-box=7", true, 7 },
        { "--vostexcept-box", true, -1 },
        { "--vostexcept-box=", true, -1 },
        { "--vostexcept-box=2", true, -1 },
        { "--vostexcept-box=7x", true, -1 },
        { "--vostexcept-box=70000", true, -1 },
        { "/multi", false, -1 },
        { "file.ov2", false, -1 },
    };
    for (const auto& c : cases) {
        const char* argv[] = { "tarvell", c.Argument, nullptr };
        int in = -1, out = -1;
        EXPECT_EQ(ParseBoxHelperSwitch(2, argv, in, out), c.Helper) << c.Argument;
        if (c.Helper) {
            EXPECT_EQ(in, c.Fd) << c.Argument;
        }
    }
    const char* alone[] = { "tarvell", nullptr };
    EXPECT_FALSE(IsBoxHelperInvocation(1, alone));
}

TEST(VostBoxHelper, BoxText)
{
    const char* error = "An error occurred in the application:%LF%%LF%%exceptMsg%";
    EXPECT_EQ(BoxText(false, error, "", "Disk full"), "An error occurred in the application:\r\n\r\nDisk full.");
    EXPECT_EQ(BoxText(false, error, "", "Disk full."), "An error occurred in the application:\r\n\r\nDisk full.");
    EXPECT_EQ(BoxText(false, error, "", "Stop!"), "An error occurred in the application:\r\n\r\nStop!");
    EXPECT_EQ(BoxText(true, error, "Frozen.%LF%Wait", "ignored"), "Frozen.\r\nWait");
}

TEST(VostBoxHelper, WebPageEscapesEveryText)
{
    const TCrashReportSettings saved = CrashReportSettings;
    CrashReportSettings.ErrorText = "Error <b>:%LF%%exceptMsg%";
    CrashReportSettings.ContinueButtonCaption = "Go & on";
    const std::string report
        = "date/time         : now\r\nexception message : <script>alert('x')</script> & more.\r\nrest";
    std::string html;
    WebPageProc(report, html);
    CrashReportSettings = saved;
    EXPECT_EQ(html.find("<script>"), std::string::npos) << html;
    EXPECT_EQ(html.find("<b>"), std::string::npos);
    EXPECT_NE(html.find("Error &lt;b&gt;:<br>\r\n&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; more."),
        std::string::npos)
        << html;
    EXPECT_NE(html.find(">Go &amp; on</button>"), std::string::npos);
    EXPECT_NE(html.find("<textarea id=\"bugReport\" readonly cols=\"80\" rows=\"20\""), std::string::npos);
    EXPECT_NE(html.find("display:none"), std::string::npos);
    EXPECT_EQ(html.rfind("<html><head><title>", 0), 0u);
    // Without the line the message is "Unknown".
    WebPageProc("no lines", html);
    EXPECT_NE(html.find("Unknown"), std::string::npos);
}

namespace {

// A stand-in helper: logs what reaches it; on the box's data it answers "closed with restart".
// With leaveAfterProgress it leaves when composing is done, as a helper that died would.
std::string WriteFakeHelper(const QTemporaryDir& dir, const char* name, bool leaveAfterProgress)
{
    const std::string path = dir.filePath(QString::fromLatin1(name)).toStdString();
    std::ofstream script(path);
    script << "#!" TARVELL_SYSTEM_PYTHON "\n"
              "import socket, struct, sys\n"
              "s = socket.socket(fileno=int(sys.argv[1].split('=')[1]))\n"
              "log = open(sys.argv[0].rsplit('/', 1)[0] + '/log', 'a')\n"
              "def read(n):\n"
              "    b = b''\n"
              "    while len(b) < n:\n"
              "        c = s.recv(n - len(b))\n"
              "        if not c: sys.exit(0)\n"
              "        b += c\n"
              "    return b\n"
              "log.write('start\\n'); log.flush()\n"
              "while True:\n"
              "    t, l = struct.unpack('<II', read(8))\n"
              "    p = read(l)\n"
              "    if t == 4: log.write('progress %d %s\\n' % (struct.unpack('<I', p[:4])[0], p[4:].decode()))\n"
              "    if t == 5: log.write('done\\n')\n"
              "    log.flush()\n"
              "    if t == 5 and "
           << (leaveAfterProgress ? "True" : "False")
           << ": sys.exit(0)\n"
              "    if t == 1:\n"
              "        log.write('box\\n'); log.flush()\n"
              "        s.sendall(struct.pack('<II', 11, 1) + b'5')\n"
              "        sys.exit(0)\n";
    script.close();
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
}

std::string ReadLog(const QTemporaryDir& dir)
{
    std::ifstream file(dir.filePath(QStringLiteral("log")).toStdString());
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace

// The tracing progress of a crash goes to a helper started for it, which then gets the box; one
// that has gone meanwhile is replaced by a new one, and a helper that cannot start gets nothing.
TEST(VostBoxHelper, ProgressHelperShowsTheBoxAfterwards)
{
    struct {
        bool LeaveAfterProgress;
        const char* Log;
    } const cases[] = {
        { false, "start\nprogress 0 %1 %\nprogress 400 %1 %\ndone\nbox\n" },
        { true, "start\nprogress 0 %1 %\nprogress 400 %1 %\ndone\nstart\nbox\n" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Log);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const std::string program = WriteFakeHelper(dir, "helper", c.LeaveAfterProgress);
        TBoxHelperProcess helper;
        {
            THelperTraceProgress progress(helper, program, "%1 %");
            progress.Show(0);
            const pid_t started = helper.Pid();
            progress.Show(400);
            EXPECT_EQ(helper.Pid(), started);
            progress.Close();
        }
        ASSERT_TRUE(helper.Running());
        TBoxData data;
        data.Captions[caRestart] = "Restart";
        data.Report = "report";
        bool saved = false;
        const TCrashAction action = RunBoxInHelper(
            program, data, {}, [&](const std::string&) { return saved = true; }, {}, &helper);
        EXPECT_EQ(action, caRestart);
        EXPECT_FALSE(saved);
        EXPECT_FALSE(helper.Running());
        EXPECT_EQ(ReadLog(dir), c.Log);
    }
    TBoxHelperProcess helper;
    THelperTraceProgress progress(helper, "/nonexistent/tarvell-helper", "%1%");
    progress.Show(0);
    progress.Show(10);
    progress.Close();
    EXPECT_FALSE(helper.Running());
}

#ifdef TARVELL_PROGRAM
// The program's own helper: the popup first, then the box in the same process, which closes
// itself by its countdown.
TEST(VostBoxHelper, ProgramHelperShowsProgressThenTheBox)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    TBoxHelperProcess helper;
    {
        THelperTraceProgress progress(helper, TARVELL_PROGRAM, "%1 %");
        progress.Show(0);
        progress.Show(500);
        progress.Close();
    }
    ASSERT_TRUE(helper.Running());
    const pid_t first = helper.Pid();
    TBoxData data;
    data.Title = "Tarvell";
    data.Text = "An error occurred.";
    data.Captions[caClose] = "Close";
    data.DefaultButton = caClose;
    data.CountdownButton = caClose;
    data.AutoActionDelay = 1;
    data.Report = "report";
    std::vector<TCrashAction> actions;
    TBoxActionSink sink;
    sink.Announce = [&](TCrashAction action) {
        actions.push_back(action);
        return false;
    };
    bool saved = false;
    const TCrashAction action = RunBoxInHelper(
        "/nonexistent/second-helper", data, sink, [&](const std::string&) { return saved = true; }, {}, &helper);
    EXPECT_NE(first, -1);
    EXPECT_EQ(action, caClose);
    EXPECT_EQ(actions, std::vector<TCrashAction> { caClose });
    EXPECT_FALSE(saved);
}
#endif
