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
    bool Erase(int index);  // false when nothing is there, or the place refuses deletes
    // See Modem::RefuseDeletes; DeleteRefusal is the error a delete of the
    // place gets (0: none).
    void RefuseDeletes(int index, int cmsError);
    int DeleteRefusal(int index) const;
    std::vector<int> Undeletable() const;
    void Clear() { messages_.clear(); }
    // Deletes by the <delflag> of AT+CMGD (1..4), all but undeletable places.
    void EraseByFlag(int flag);
    std::vector<StoredMessage> All() const;

private:
    size_t capacity_;
    size_t highWater_ = 0;
    std::map<int, StoredMessage> messages_;
    std::map<int, int> refusals_;  // index -> +CMS ERROR of its deletes
};

}  // namespace modemsim
