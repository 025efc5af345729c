// The scan of a listing response: whole entries only, indices kept whole,
// never more records than given, nothing read past the response.
#include "modem/listing_scan.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace kelvora {
namespace {

const std::string kHello = "0891683110000000F0040D91683110000001F100003211602143052305E8329BFD06";
const std::string kAbc = "0891683110000000F0040D91683110000001F100083211602143052306006100620063";

std::string Entry(const std::string& index, const std::string& pdu) {
    return "+CMGL: " + index + ",0,,25\r\n" + pdu + "\r\n";
}

class ListingScan : public ::testing::Test {
protected:
    ListingScan() : records(6) {
        for (SmsRecord& r : records) {
            std::memset(&r, 0x5A, sizeof r);
            r.index = -7;
        }
    }
    int Scan(const std::string& response, size_t capacity = 4) {
        // A copy without a terminator, so that a read past the end is caught by the sanitizers.
        std::vector<char> bytes(response.begin(), response.end());
        return ScanListing(bytes.data(), bytes.size(), records.data(), capacity);
    }
    bool Untouched(size_t i) const { return records[i].index == -7 && records[i].text[0] == 0x5A; }
    std::vector<SmsRecord> records;
};

TEST_F(ListingScan, TwoEntries) {
    EXPECT_EQ(2, Scan("\r\n" + Entry("1", kHello) + Entry("2", kAbc) + "\r\nOK\r\n"));
    EXPECT_EQ(1, records[0].index);
    EXPECT_STREQ("hello", records[0].text);
    EXPECT_EQ(2, records[1].index);
    EXPECT_STREQ("abc", records[1].text);
    EXPECT_TRUE(Untouched(2));
}

TEST_F(ListingScan, IndexWithOrWithoutSpaceAndWhole) {
    EXPECT_EQ(4, Scan("+CMGL:3,0,,25\r\n" + kHello + "\r\n" + Entry("3", kHello) + Entry("255", kHello) +
                      Entry("70000", kHello)));
    EXPECT_EQ(3, records[0].index);
    EXPECT_EQ(3, records[1].index);
    EXPECT_EQ(255, records[2].index);
    EXPECT_EQ(70000, records[3].index);
}

TEST_F(ListingScan, EachEntrysStatus) {
    int32_t statuses[4] = {9, 9, 9, 9};
    const std::string response = "+CMGL: 1,1,,25\r\n" + kHello + "\r\n+CMGL: 2, 3 ,\"x\",25\r\n" + kAbc +
                                 "\r\n+CMGL: 3\r\n" + kAbc + "\r\n";
    EXPECT_EQ(3, ScanListing(response.data(), response.size(), records.data(), 4, statuses));
    EXPECT_EQ(1, statuses[0]);
    EXPECT_EQ(3, statuses[1]);
    EXPECT_EQ(-1, statuses[2]);  // none given
    EXPECT_EQ(9, statuses[3]);
}

TEST_F(ListingScan, NothingListed) {
    EXPECT_EQ(0, Scan(""));
    EXPECT_EQ(0, Scan("\r\nOK\r\n"));
    EXPECT_EQ(0, Scan("\r\n+CMS ERROR: 321\r\n"));
    EXPECT_EQ(0, Scan("AT+CMGL\r\r\nOK\r\n"));  // the echo is no entry
    for (size_t i = 0; i < records.size(); ++i) EXPECT_TRUE(Untouched(i));
}

TEST_F(ListingScan, AnEntryCutOffIsNotCountedAndEndsTheScan) {
    const std::string whole = Entry("1", kHello);
    EXPECT_EQ(1, Scan(whole + "+CMGL: 2,0,,25"));              // inside the header line
    EXPECT_EQ(1, Scan(whole + "+CMGL: 2,0,,25\r"));            // half a line end
    EXPECT_EQ(1, Scan(whole + "+CMGL: 2,0,,25\r\n" + kAbc.substr(0, 31)));  // inside the PDU
    EXPECT_EQ(1, Scan(whole + "+CMGL: 2,0,,25\r\n" + kAbc));  // PDU without its line end
    EXPECT_EQ(1, Scan(whole + "+CMGL: 2,0,,25\r\n" + kAbc + "\r"));
    EXPECT_EQ(1, records[0].index);
    EXPECT_TRUE(Untouched(1));
}

TEST_F(ListingScan, EntriesThatCannotBeDeletedSafelyAreSkipped) {
    // A PDU broken by another line, an index that is no number, one that leaves 32 bits.
    EXPECT_EQ(2, Scan("+CMGL: 1,0,,25\r\n" + kHello.substr(0, 20) + "+CMTI: \"SM\",3\r\n" + Entry("", kHello) +
                      Entry("99999999999", kHello) + Entry("4", kAbc) + Entry("-5", kHello)));
    EXPECT_EQ(4, records[0].index);
    EXPECT_STREQ("abc", records[0].text);
    EXPECT_EQ(-5, records[1].index);
}

TEST_F(ListingScan, NeverMoreRecordsThanGiven) {
    std::string response;
    for (int i = 1; i <= 6; ++i) response += Entry(std::to_string(i), kHello);
    EXPECT_EQ(4, Scan(response + "\r\nOK\r\n", 4));
    EXPECT_EQ(4, records[3].index);
    EXPECT_TRUE(Untouched(4));
    EXPECT_TRUE(Untouched(5));
}

TEST_F(ListingScan, LowerCaseHexAndEmptyPdu) {
    std::string lower = kAbc;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(1, Scan(Entry("9", lower) + "+CMGL: 10,0,,0\r\n\r\nOK\r\n"));
    EXPECT_STREQ("abc", records[0].text);
    EXPECT_STREQ("8613010000101", records[0].peerNumber);
    EXPECT_TRUE(Untouched(1));  // an empty PDU line: nothing received, nothing to delete
}

TEST_F(ListingScan, AnUnsolicitedLineBetweenHeaderAndPduLeavesTheMessageInTheModem) {
    // The modem slipped "\r\nRING\r\n" in after the header of entry 4: its PDU
    // line reads empty. The entry must not count, or it would be deleted unread.
    EXPECT_EQ(2, Scan(Entry("3", kHello) + "+CMGL: 4,0,,25\r\n\r\nRING\r\n" + kAbc + "\r\n" +
                      Entry("5", kAbc) + "\r\nOK\r\n"));
    EXPECT_EQ(3, records[0].index);
    EXPECT_EQ(5, records[1].index);
    EXPECT_TRUE(Untouched(2));
}

}  // namespace
}  // namespace kelvora
