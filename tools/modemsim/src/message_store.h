// A modem's message store ("SM"): indices 1..capacity, lowest free index first.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "modemsim/modemsim.h"

namespace modemsim {

class MessageStore {
public:
    explicit MessageStore(size_t capacity) : capacity_(capacity) {}

    size_t capacity() const { return capacity_; }
    size_t used() const { return messages_.size(); }
    size_t highWater() const { return highWater_; }
    bool SetCapacity(size_t capacity);

    // index 0: the lowest free one. Returns the index, or -1 with a reason.
    int Put(const std::string& pdu, MessageStatus status, int index, std::string* error);
    const StoredMessage* Find(int index) const;
    StoredMessage* Find(int index);
    bool Erase(int index);
    void Clear() { messages_.clear(); }
    // Deletes by the <delflag> of AT+CMGD (1..4).
    void EraseByFlag(int flag);
    std::vector<StoredMessage> All() const;

private:
    size_t capacity_;
    size_t highWater_ = 0;
    std::map<int, StoredMessage> messages_;
};

}  // namespace modemsim
