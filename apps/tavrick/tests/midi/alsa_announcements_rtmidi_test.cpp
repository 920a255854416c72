#include <alsa/asoundlib.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "midi/alsa_announcements.h"

namespace {

using tavrick::AlsaAddress;
using tavrick::AlsaAnnouncement;
using Kind = AlsaAnnouncement::Kind;

struct NameCase {
  std::string name;
  std::optional<AlsaAddress> address;
};

const NameCase k_name_cases[] = {
    {"Loupedeck+:Loupedeck+ MIDI 1 24:0", AlsaAddress{24, 0}},
    {"Virtual Raw MIDI 1-0:VirMIDI 1-0 20:0", AlsaAddress{20, 0}},
    {"Client:Port 128:3", AlsaAddress{128, 3}},
    // Not as RtMidi names an ALSA port: no address to follow.
    {"Loupedeck+ virtual:Loupedeck+ virtual", std::nullopt},
    {"Client:Port 128", std::nullopt},
    {"Client:Port x:1", std::nullopt},
    {"Client:Port 128:", std::nullopt},
    {"", std::nullopt},
};

TEST(AlsaAnnouncementsTest, ReadsTheAddressAtTheEndOfAPortName) {
  for (const NameCase& test : k_name_cases) {
    EXPECT_EQ(tavrick::alsa_address_of(test.name), test.address) << test.name;
  }
}

struct EndCase {
  int type;
  AlsaAddress announced;
  bool ends;  // a connection from 24:0 cannot outlive it
};

const EndCase k_end_cases[] = {
    {SND_SEQ_EVENT_PORT_EXIT, {24, 0}, true},
    {SND_SEQ_EVENT_PORT_EXIT, {24, 1}, false},  // another port of the same device
    {SND_SEQ_EVENT_CLIENT_EXIT, {24, 0}, true},
    {SND_SEQ_EVENT_CLIENT_EXIT, {24, 7}, true},  // the port of a client announcement is no port
    {SND_SEQ_EVENT_CLIENT_EXIT, {25, 0}, false},
    {SND_SEQ_EVENT_CLIENT_START, {24, 0}, false},
    {SND_SEQ_EVENT_PORT_START, {24, 0}, false},
    {SND_SEQ_EVENT_PORT_CHANGE, {24, 0}, false},
};

TEST(AlsaAnnouncementsTest, AConnectionEndsWithItsPortOrItsClient) {
  for (const EndCase& test : k_end_cases) {
    const auto announcement = tavrick::alsa_announcement_of(test.type, test.announced);
    ASSERT_TRUE(announcement) << test.type;
    EXPECT_EQ(announcement->ends(AlsaAddress{24, 0}), test.ends)
        << test.type << " " << test.announced.client << ":" << test.announced.port;
  }
}

TEST(AlsaAnnouncementsTest, EventsThatAnnounceNoClientOrPortAreNoAnnouncements) {
  for (const int type : {SND_SEQ_EVENT_NOTEON, SND_SEQ_EVENT_CONTROLLER,
                         SND_SEQ_EVENT_PORT_SUBSCRIBED, SND_SEQ_EVENT_PORT_UNSUBSCRIBED}) {
    EXPECT_EQ(tavrick::alsa_announcement_of(type, AlsaAddress{24, 0}), std::nullopt) << type;
  }
  EXPECT_EQ(tavrick::alsa_announcement_of(SND_SEQ_EVENT_CLIENT_CHANGE, {24, 0})->kind,
            Kind::client_change);
}

}  // namespace
