// The wire between the crashed process and the box's helper, the box's text and the web page.
#include "crashreport/VostBoxHelper.h"

#include <gtest/gtest.h>

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
