// The JSON control protocol, directly and over its socket.
#include <unistd.h>

#include "modemsim/control.h"
#include "test_network.h"

using namespace modemsim;
using namespace modemsim_test;
using nlohmann::json;

TEST_F(ModemTest, ControlRequestsReachTheModems) {
    json r = HandleControlRequest(*network_, {{"cmd", "modems"}});
    ASSERT_TRUE(r["ok"]) << r.dump();
    ASSERT_EQ(r["modems"].size(), 2u);
    EXPECT_EQ(r["modems"][1]["number"], "+8613900000002");
    EXPECT_EQ(r["modems"][1]["device"], modem(1).DevicePath());

    r = HandleControlRequest(*network_, {{"cmd", "inject"}, {"modem", 1}, {"sender", "+8613900000001"},
                                         {"text", "h\xC3\xA9llo"}, {"coding", "gsm7"}, {"index", 4}});
    ASSERT_TRUE(r["ok"]) << r.dump();
    EXPECT_EQ(r["index"], 4);
    r = HandleControlRequest(*network_, {{"cmd", "stored"}, {"modem", 1}});
    ASSERT_EQ(r["messages"].size(), 1u);
    EXPECT_EQ(r["messages"][0]["decoded"]["text"], "h\xC3\xA9llo");
    EXPECT_EQ(r["messages"][0]["decoded"]["address"], "8613900000001");

    r = HandleControlRequest(*network_, {{"cmd", "inject_pdu"}, {"modem", 1}, {"pdu", "zz"}});
    EXPECT_FALSE(r["ok"]);
    r = HandleControlRequest(*network_, {{"cmd", "fault"}, {"modem", 0}, {"kind", "cms_error"},
                                         {"command", "AT+CSQ"}, {"cms_error", 331}});
    ASSERT_TRUE(r["ok"]) << r.dump();
    EXPECT_EQ(line(0).Command("AT+CSQ\r"), "AT+CSQ\r\r\n+CMS ERROR: 331\r\n");
    r = HandleControlRequest(*network_, {{"cmd", "log"}, {"modem", 0}});
    ASSERT_EQ(r["log"].size(), 1u);
    EXPECT_EQ(r["log"][0]["command"], "AT+CSQ");
    EXPECT_FALSE(HandleControlRequest(*network_, {{"cmd", "fault"}, {"modem", 0}, {"kind", "nonsense"}})["ok"]);
    EXPECT_FALSE(HandleControlRequest(*network_, {{"cmd", "stored"}, {"modem", 9}})["ok"]);
    EXPECT_FALSE(HandleControlRequest(*network_, {{"cmd", "inject"}, {"modem", 0}})["ok"]);  // no text
    EXPECT_FALSE(HandleControlRequest(*network_, json::array())["ok"]);
    bool quit = false;
    EXPECT_TRUE(HandleControlRequest(*network_, {{"cmd", "quit"}}, &quit)["ok"]);
    EXPECT_TRUE(quit);
}

// A request both for the network and for one modem answers for the modem it
// names; one the table does not know is told so only once its modem checks.
TEST_F(ModemTest, ControlRequestsGoToTheNetworkOrTheModemTheyName) {
    ASSERT_NE(Send(0, SubmitPdu("8613900000002", "0061")).find("+CMGS: "), std::string::npos);
    EXPECT_EQ(HandleControlRequest(*network_, {{"cmd", "submitted"}})["submitted"].size(), 1u);
    EXPECT_EQ(HandleControlRequest(*network_, {{"cmd", "submitted"}, {"modem", 0}})["submitted"].size(), 1u);
    EXPECT_EQ(HandleControlRequest(*network_, {{"cmd", "submitted"}, {"modem", 1}})["submitted"].size(), 0u);

    json r = HandleControlRequest(*network_, {{"cmd", "nonsense"}, {"modem", 1}});
    EXPECT_EQ(r["error"], "unknown command nonsense");
    r = HandleControlRequest(*network_, {{"cmd", "nonsense"}, {"modem", 2}});
    EXPECT_EQ(r["error"], "no modem 2");
    r = HandleControlRequest(*network_, {{"cmd", "nonsense"}});
    EXPECT_EQ(r["error"].get<std::string>().rfind("bad request: ", 0), 0u) << r.dump();
}

TEST_F(ModemTest, ControlSocketAnswersLineByLine) {
    const std::string path = testing::TempDir() + "modemsim-control-" + std::to_string(getpid()) + ".sock";
    ControlServer server(*network_);
    std::string error;
    ASSERT_TRUE(server.Start(path, &error)) << error;
    json reply;
    ASSERT_TRUE(SendControlRequest(path, {{"cmd", "stats"}}, &reply, 5s, &error)) << error;
    EXPECT_TRUE(reply["ok"]);
    EXPECT_EQ(reply["submitted"], 0);
    ASSERT_TRUE(SendControlRequest(path, {{"cmd", "baud"}, {"rate", 9600}}, &reply, 5s, &error)) << error;
    EXPECT_TRUE(reply["ok"]);
    ASSERT_TRUE(SendControlRequest(path, {{"cmd", "quit"}}, &reply, 5s, &error)) << error;
    EXPECT_TRUE(server.QuitRequested());
    server.Stop();
    EXPECT_NE(access(path.c_str(), F_OK), 0);  // the socket file is gone
    EXPECT_FALSE(SendControlRequest(path, {{"cmd", "stats"}}, &reply, 1s, &error));
}
