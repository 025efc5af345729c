// The modem dialogue played from byte-exact transcripts: sending (prompt,
// echo, error reports, missing prompt, unsolicited lines), listing (echo,
// unsolicited lines, error reports, cut-off responses, more than 128 entries,
// large indices, odd PDUs) and deleting; and what SendSms refuses.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "modem/gsm_modem.h"
#include "modem_fixture.h"
#include "modem_transcripts.h"

namespace kelvora::testing {
namespace {

class GsmModemDialogue : public ModemTest {
protected:
    TranscriptPlayer& Play(const char* name) {
        const std::string text = Transcript(name);
        EXPECT_FALSE(text.empty()) << "no transcript " << name;
        player_ = std::make_unique<TranscriptPlayer>(*port, text);
        return *player_;
    }
    void ExpectComplete() {
        ASSERT_TRUE(player_);
        EXPECT_TRUE(player_->error().empty()) << player_->error();
        EXPECT_TRUE(player_->Complete()) << "steps done: " << player_->StepsDone();
    }
    std::vector<SmsRecord> Records() {
        std::vector<SmsRecord> records(kMaxListedRecords);
        for (SmsRecord& r : records) {
            std::memset(&r, 0, sizeof r);
            r.index = -1;
        }
        return records;
    }

    std::unique_ptr<TranscriptPlayer> player_;
};

TEST_F(GsmModemDialogue, SendsTheExamplePduAfterThePrompt) {
    const int32_t references[] = {7, 8, 9};
    int i = 0;
    for (const char* name : {"send_sms", "send_sms_echo", "send_unsolicited"}) {
        SCOPED_TRACE(name);
        port->written.clear();
        Play(name);
        SendResult result;
        EXPECT_TRUE(modem.SendSms("+8610000000000", "10000000001", "abc", &result));
        ExpectComplete();
        EXPECT_EQ("AT+CMGS=21\r0891680100000000F011000D91680100000000F100080006006100620063\x1A", port->written);
        EXPECT_EQ(SendOutcome::kAccepted, result.outcome);
        EXPECT_EQ(references[i++], result.messageReference);
    }
}

TEST_F(GsmModemDialogue, ARefusalEndsTheSendWhenItComes) {
    const char* command = "AT+CMGS=21\r";
    const std::string whole = std::string(command) + "0891680100000000F011000D91680100000000F100080006006100620063\x1A";
    struct Case {
        const char* transcript;
        std::string written;
        int32_t errorNumber;
    } cases[] = {
        {"send_error_no_prompt", command, -1},  // no PDU after an error: it would be read as a command
        {"send_cms_error_304", command, 304},
        {"send_cms_error_500", whole, 500},
        {"send_reference_after_ok", whole, -1},  // OK without a reference before it confirms nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.transcript);
        port->written.clear();
        const uint32_t start = clock.Now();
        Play(c.transcript);
        SendResult result;
        EXPECT_FALSE(modem.SendSms("+8610000000000", "10000000001", "abc", &result));
        ExpectComplete();
        EXPECT_EQ(c.written, port->written);
        EXPECT_EQ(SendOutcome::kRefused, result.outcome);
        EXPECT_EQ(c.errorNumber, result.errorNumber);
        EXPECT_LT(clock.Now() - start, 100u);  // at the answer, not at the 1000 ms time-out
    }
}

TEST_F(GsmModemDialogue, ThePduGoesOutWhenNeitherPromptNorErrorCame) {
    const uint32_t start = clock.Now();
    Play("send_no_prompt");
    SendResult result;
    EXPECT_FALSE(modem.SendSms("+8610000000000", "10000000001", "abc", &result));
    ExpectComplete();
    EXPECT_EQ(SendOutcome::kRefused, result.outcome);  // the PDU got "ERROR"
    EXPECT_GE(clock.Now() - start, 1000u);             // the prompt wait ran out
    EXPECT_LT(clock.Now() - start, 1100u);

    port->written.clear();
    port->onWrite = nullptr;  // silence: both waits run out
    EXPECT_FALSE(modem.SendSms("+8610000000000", "10000000001", "abc", &result));
    EXPECT_EQ(SendOutcome::kNoAnswer, result.outcome);
    EXPECT_NE(std::string::npos, port->written.find("\x1A"));
}

TEST_F(GsmModemDialogue, TheDefaultServiceCentreStandsInForAnEmptyOne) {
    AcceptEverySend(*port);
    EXPECT_EQ(14u, std::strlen(kDefaultServiceCentre));
    EXPECT_EQ(0, std::strncmp(kDefaultServiceCentre, "+86", 3));
    EXPECT_TRUE(modem.SendSms("", "8613900000001", "abc"));
    EXPECT_EQ(0u, port->written.find("AT+CMGS=21\r0891683108100005F011"));
}

TEST_F(GsmModemDialogue, NormalisesNumbers) {
    struct Case {
        const char* serviceCentre;
        const char* destination;
        const char* pduStart;
    } cases[] = {
        {"8613800100500", "+8613900000001", "0891683108100005F011000D91683109000000F1"},
        {"13800100500", "0086139000000", "0891683108100005F011000B916831090000F0"},  // "00": + for who types it
        {"+861380010050", "13900000001", "0791683108100005" "11000D91683109000000F1"},
    };
    AcceptEverySend(*port);
    for (const Case& c : cases) {
        port->written.clear();
        EXPECT_TRUE(modem.SendSms(c.serviceCentre, c.destination, "a"));
        const size_t pdu = port->written.find('\r') + 1;
        EXPECT_EQ(c.pduStart, port->written.substr(pdu, std::strlen(c.pduStart))) << c.destination;
    }
}

TEST_F(GsmModemDialogue, ALeading00IsTheInternationalPrefix) {
    Play("send_00_is_the_international_prefix");
    SendResult result;
    EXPECT_TRUE(modem.SendSms("008610000000000", "008613900000002", "abc", &result));
    ExpectComplete();
    EXPECT_EQ(12, result.messageReference);
}

// After "+" or "00" the digits go out as written, whatever the country; a
// national number gets 86 in front.
TEST_F(GsmModemDialogue, ANumberWithAPrefixGoesWhereItIsWritten) {
    const struct {
        const char* transcript;
        const char* destination;
    } cases[] = {
        {"send_abroad_plus_44", "+447700900123"}, {"send_abroad_0044", "00447700900123"},
        {"send_abroad_plus_852", "+85291234567"}, {"send_plus_8613", "+8613900000002"},
        {"send_national_13", "13900000002"},
    };
    int32_t reference = 20;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.transcript);
        Play(c.transcript);
        SendResult result;
        EXPECT_TRUE(modem.SendSms("+8610000000000", c.destination, "abc", &result));
        ExpectComplete();
        EXPECT_EQ(reference++, result.messageReference);
    }
}

TEST_F(GsmModemDialogue, SaysWhyItSendsNothing) {
    const struct {
        const char* serviceCentre;
        const char* destination;
        std::string text;
        SendRefusal why;
    } cases[] = {
        {"", "1390000000", "abc", SendRefusal::kDestinationTooShort},
        {"", nullptr, "abc", SendRefusal::kDestinationTooShort},
        {"", "139 0000 0001", "abc", SendRefusal::kNumberNotDigits},
        {"+86-138-0010", "13900000001", "abc", SendRefusal::kNumberNotDigits},
        {"", "86139000000012345", "abc", SendRefusal::kNumberTooLong},
        {"", "13900000001", "", SendRefusal::kTextEmpty},
        {"", "13900000001", std::string(70, 'x'), SendRefusal::kTextTooLong},
        {"", "13900000001", "\x81", SendRefusal::kTextNotConvertible},
    };
    AcceptEverySend(*port);
    for (const auto& c : cases) {
        SendResult result;
        EXPECT_FALSE(modem.SendSms(c.serviceCentre, c.destination, c.text.c_str(), &result));
        EXPECT_EQ(SendOutcome::kNotSent, result.outcome);
        EXPECT_EQ(c.why, result.refusal) << RefusalText(c.why);
    }
    EXPECT_TRUE(port->written.empty());
}

TEST_F(GsmModemDialogue, RefusesWhatCannotBeSentAndSendsNothing) {
    AcceptEverySend(*port);
    EXPECT_FALSE(modem.SendSms("", "1000000000", "abc"));         // 10 characters
    EXPECT_FALSE(modem.SendSms("", "+100000000", "abc"));         // "+" and 9 digits
    EXPECT_FALSE(modem.SendSms("", "86139000000012345", "abc"));  // 17 digits do not fit
    EXPECT_FALSE(modem.SendSms("+86138001005001234", "13900000001", "abc"));
    EXPECT_FALSE(modem.SendSms("", "13900000001", ""));
    EXPECT_FALSE(modem.SendSms("", "13900000001", std::string(70, 'x').c_str()));
    EXPECT_FALSE(modem.SendSms("", "13900000001", "\x81"));  // half a GBK character
    SendResult result;
    EXPECT_FALSE(modem.SendSms("", nullptr, "abc", &result));
    EXPECT_EQ(SendOutcome::kNotSent, result.outcome);
    EXPECT_TRUE(port->written.empty());

    EXPECT_TRUE(modem.SendSms("", "13900000001", std::string(69, 'x').c_str()));
    EXPECT_TRUE(modem.SendSms("", "+861390000000123", "y"));  // 15 digits and the "+"
    port->written.clear();
    EXPECT_FALSE(modem.SendSms("", "+8613900000001234", "y"));
    EXPECT_TRUE(port->written.empty());
    // 69 characters or 130 bytes, whichever comes first: 65 Chinese ones.
    std::string chinese;
    for (int i = 0; i < 65; ++i) chinese += "\xB2\xE2";
    port->written.clear();
    EXPECT_TRUE(modem.SendSms("", "13900000001", chinese.c_str()));
    EXPECT_NE(std::string::npos, port->written.find("000800826D4B6D4B"));
    EXPECT_EQ(0u, port->written.find("AT+CMGS=145\r"));
    port->written.clear();
    EXPECT_FALSE(modem.SendSms("", "13900000001", (chinese + "\xB2\xE2").c_str()));
    EXPECT_TRUE(port->written.empty());
}

// What the limits mean in characters, for telling a person.
TEST(FitText, CountsCharactersAndHowManyFitOneMessage) {
    const std::string chinese66 = [] {
        std::string text;
        for (int i = 0; i < 66; ++i) text += "\xB2\xE2";
        return text;
    }();
    const std::string mixed = std::string(60, 'x') + chinese66.substr(0, 10);  // 65 characters, 70 bytes
    const struct {
        std::string text;
        int characters;
        int fitting;
    } cases[] = {{std::string(70, 'x'), 70, 69}, {chinese66, 66, 65}, {mixed, 65, 65}, {"\x81", -1, -1}};
    for (const auto& c : cases) {
        const TextFit fit = FitText(c.text.data(), c.text.size());
        EXPECT_EQ(c.characters, fit.characters) << c.text;
        EXPECT_EQ(c.fitting, fit.fitting) << c.text;
    }
}

TEST_F(GsmModemDialogue, SendPduRefusesARecordWhoseTextDoesNotFitAndSendsNothing) {
    SmsRecord record;
    std::memset(&record, 0, sizeof record);
    std::strcpy(record.serviceCentre, "8613800100500");
    std::strcpy(record.peerNumber, "8613900000001");
    std::memset(record.text, 'x', 140);
    record.codingScheme = 8;
    EXPECT_FALSE(modem.SendPdu(record));
    EXPECT_TRUE(port->written.empty());
}

TEST_F(GsmModemDialogue, ListsTwoEntriesAndDeletesThem) {
    Play("list_two");
    std::vector<SmsRecord> records = Records();
    ASSERT_EQ(2, modem.ListMessages(records.data()));
    EXPECT_EQ(1, records[0].index);
    EXPECT_STREQ("hello", records[0].text);
    EXPECT_STREQ("8613010000101", records[0].peerNumber);
    EXPECT_STREQ("8613010000000", records[0].serviceCentre);
    EXPECT_STREQ("23110612345032", records[0].timestamp);
    EXPECT_EQ(2, records[1].index);
    EXPECT_STREQ("abc", records[1].text);
    EXPECT_EQ(8, records[1].codingScheme);
    EXPECT_EQ(-1, records[2].index);
    EXPECT_TRUE(modem.DeleteMessage(records[0].index));
    EXPECT_TRUE(modem.DeleteMessage(records[1].index));
    ExpectComplete();
}

TEST_F(GsmModemDialogue, ListingWithEchoAndUnsolicitedLines) {
    Play("list_echo_unsolicited");
    std::vector<SmsRecord> records = Records();
    ASSERT_EQ(2, modem.ListMessages(records.data()));
    EXPECT_STREQ("hello", records[0].text);
    EXPECT_STREQ("abc", records[1].text);
    ExpectComplete();
}

TEST_F(GsmModemDialogue, AnErrorReportListsNothing) {
    Play("list_cms_error_321");
    std::vector<SmsRecord> records = Records();
    EXPECT_EQ(0, modem.ListMessages(records.data()));
    EXPECT_EQ(-1, records[0].index);
    ExpectComplete();
}

TEST_F(GsmModemDialogue, ACutOffListingKeepsOnlyWholeEntries) {
    Play("list_cut_off");
    std::vector<SmsRecord> records = Records();
    EXPECT_EQ(2, modem.ListMessages(records.data()));
    EXPECT_EQ(2, records[1].index);
    EXPECT_EQ(-1, records[2].index);
    ExpectComplete();

    Play("list_cut_header");
    records = Records();
    EXPECT_EQ(1, modem.ListMessages(records.data()));
    EXPECT_EQ(4, records[0].index);
    ExpectComplete();
}

TEST_F(GsmModemDialogue, AListingCutByAPortFailureKeepsOnlyWholeEntries) {
    Play("list_two");
    port->readsBeforeFailure = 0;  // the first read fails: nothing came
    std::vector<SmsRecord> records = Records();
    ExchangeResult result;
    EXPECT_EQ(0, modem.ListMessages(records.data(), kMaxListedRecords, ListFilter::kReceivedUnread, &result));
    EXPECT_EQ(ExchangeOutcome::kPortFailed, result.outcome);
    EXPECT_TRUE(result.written);
}

TEST_F(GsmModemDialogue, KeepsLargeIndicesWholeFromListingToDelete) {
    Play("list_indices");
    std::vector<SmsRecord> records = Records();
    ASSERT_EQ(4, modem.ListMessages(records.data()));
    const int32_t expected[] = {0, 127, 128, 255};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(expected[i], records[i].index);
        EXPECT_TRUE(modem.DeleteMessage(records[i].index));
    }
    ExpectComplete();
}

TEST_F(GsmModemDialogue, TakesAtMost128Entries) {
    Play("list_130");
    std::vector<SmsRecord> records = Records();
    records.resize(kMaxListedRecords + 2);
    records[128].index = -9;
    records[129].index = -9;
    ASSERT_EQ(128, modem.ListMessages(records.data()));
    EXPECT_STREQ("m001", records[0].text);
    EXPECT_EQ(128, records[127].index);
    EXPECT_STREQ("m128", records[127].text);
    EXPECT_EQ(-9, records[128].index);
    EXPECT_EQ(-9, records[129].index);
    ExpectComplete();
}

TEST_F(GsmModemDialogue, LowerCaseAlphanumericAndNoServiceCentre) {
    Play("list_odd_pdus");
    std::vector<SmsRecord> records = Records();
    ASSERT_EQ(3, modem.ListMessages(records.data()));
    EXPECT_STREQ("\xC4\xE3\xBA\xC3\xCA\xC0\xBD\xE7", records[0].text);
    EXPECT_STREQ("8613800100500", records[0].serviceCentre);
    EXPECT_EQ(kTypeOfNumberAlphanumeric, records[1].PeerTypeOfNumber());
    EXPECT_STREQ("Kelvora", records[1].text);
    EXPECT_EQ(0x91, records[2].peerTypeOfAddress);
    EXPECT_STREQ("", records[2].serviceCentre);
    EXPECT_STREQ("8613010000101", records[2].peerNumber);
    EXPECT_STREQ("hi", records[2].text);
    ExpectComplete();
}

TEST_F(GsmModemDialogue, DeleteWritesTheIndexInDecimalAndIsTrueOnlyForOk) {
    port->onWrite = [](ScriptedPort& p, const std::string& chunk) {
        p.Arrive(chunk == "AT+CMGD=-3\r" ? "\r\nOK\r\n" : "\r\n+CMS ERROR: 321\r\n", 20);
    };
    EXPECT_TRUE(modem.DeleteMessage(-3));
    ExchangeResult result;
    EXPECT_FALSE(modem.DeleteMessage(70000, &result));
    EXPECT_EQ(ExchangeOutcome::kRefused, result.outcome);
    EXPECT_EQ(321, result.errorNumber);
    EXPECT_EQ("AT+CMGD=-3\rAT+CMGD=70000\r", port->written);

    Play("delete_after_unsolicited");
    EXPECT_TRUE(modem.DeleteMessage(3, &result));
    ExpectComplete();
    EXPECT_EQ(ExchangeOutcome::kAnswered, result.outcome);
    EXPECT_EQ(17u, result.setAside);
    EXPECT_EQ(30u, result.elapsedMs);  // the answer, and the sleep before the read that took it
}

TEST_F(GsmModemDialogue, ListingsEndAtTheirOwnFinalResult) {
    std::vector<SmsRecord> records = Records();
    ExchangeResult result;
    Play("list_cme_error");
    EXPECT_EQ(0, modem.ListMessages(records.data(), kMaxListedRecords, ListFilter::kReceivedUnread, &result));
    ExpectComplete();
    EXPECT_EQ(ExchangeOutcome::kRefused, result.outcome);
    EXPECT_EQ(10, result.errorNumber);
    EXPECT_EQ(30u, result.elapsedMs);

    Play("list_after_late_answer");
    clock.Advance(5);  // the late answer's tail has arrived too
    ASSERT_EQ(1, modem.ListMessages(records.data(), kMaxListedRecords, ListFilter::kReceivedUnread, &result));
    ExpectComplete();
    EXPECT_STREQ("hello", records[0].text);
    EXPECT_EQ(ExchangeOutcome::kAnswered, result.outcome);
    EXPECT_EQ(19u, result.setAside);
    EXPECT_EQ(60u, result.elapsedMs);

    Play("list_error_inside");
    ASSERT_EQ(2, modem.ListMessages(records.data(), kMaxListedRecords, ListFilter::kReceivedUnread, &result));
    ExpectComplete();
    EXPECT_STREQ("ERROR", records[0].text);
    EXPECT_STREQ("hello", records[1].text);
    EXPECT_EQ(ExchangeOutcome::kAnswered, result.outcome);
    EXPECT_EQ(40u, result.elapsedMs);
}

}  // namespace
}  // namespace kelvora::testing
