// The fake server's own encoder and its event connections, checked
// against bytes written out by hand and a plain loopback listener.
#include "trendserver.h"

#include <gtest/gtest.h>

#include <string>

#include "loopback.h"

namespace {

using namespace trendserver;

TEST(TrendServerEncoder, FramesAreLittleEndianWithTheirOwnLength) {
  EXPECT_EQ(Bytes().U16(0x1234).Int(-2).Chr(0xFF).Str("ab").str(),
            std::string("\x34\x12\xFE\xFF\xFF\xFF\xFF" "ab\0", 10));
  EXPECT_EQ(RequestFrame(0x1003, "xy", 8), std::string("\x08\x00\x03\x10\x08\x00xy", 8));
  EXPECT_EQ(ReplyFrame(-1, "z"), std::string("\x05\x00\xFF\xFFz", 5));
  EXPECT_EQ(EventPacket("ev", "p"), std::string("\x06\x00" "ev\0p", 6));
  Reader reader(Bytes().Int(7).Str("name").Chr(-3).Raw("tail"));
  EXPECT_EQ(reader.Int(), 7);
  EXPECT_EQ(reader.Str(), "name");
  EXPECT_EQ(reader.Chr(), -3);
  EXPECT_EQ(reader.Rest(), "tail");
  EXPECT_EQ(reader.Int(), 0) << "reads past the end give 0";
}

TEST(TrendServerEvents, EventConnectionDeliversPacketsAndSeesTheClose) {
  loopback::Listener listener = loopback::Listen();
  EventConnection events(listener.port);
  ASSERT_TRUE(events.connected());
  os::Socket agent = loopback::Accept(listener);
  EXPECT_TRUE(events.Send("Comp", "data"));
  EXPECT_EQ(loopback::ReceiveSome(agent, 64, 5000), EventPacket("Comp", "data"));
  EXPECT_FALSE(events.ClosedByPeer(50));
  loopback::Close(agent);
  EXPECT_TRUE(events.ClosedByPeer(5000));
  loopback::Close(listener.socket);
}

TEST(TrendServerEvents, ServerRefusesAndResumesOnItsPort) {
  FakeTrendServer server;
  ASSERT_TRUE(server.listening());
  int port = server.port();
  server.Refuse();
  EXPECT_EQ(loopback::Connect(port), os::kInvalidSocket);
  server.Resume();
  EXPECT_EQ(server.port(), port);
  os::Socket s = loopback::Connect(port);
  ASSERT_NE(s, os::kInvalidSocket);
  EXPECT_TRUE(loopback::SendAll(s, kHandshakeLine));
  EXPECT_TRUE(server.WaitForConnections(1, 5000));
  os::SocketClose(s);
}

}  // namespace
