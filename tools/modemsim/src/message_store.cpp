// A modem's message store (see message_store.h).
#include "message_store.h"

#include "pdu_codec.h"

namespace modemsim {

bool MessageStore::SetCapacity(size_t capacity) {
    if (!messages_.empty() && static_cast<size_t>(messages_.rbegin()->first) > capacity) return false;
    capacity_ = capacity;
    return true;
}

int MessageStore::Put(const std::string& pdu, MessageStatus status, int index, std::string* error) {
    auto fail = [error](const char* why) {
        if (error) *error = why;
        return -1;
    };
    const int length = TpduLength(pdu);
    if (length < 0) return fail("not a PDU in hexadecimal");
    if (index < 0 || static_cast<size_t>(index) > capacity_) return fail("index outside the store");
    if (index == 0) {
        for (size_t i = 1; i <= capacity_; ++i) {
            if (messages_.count(static_cast<int>(i)) == 0) {
                index = static_cast<int>(i);
                break;
            }
        }
        if (index == 0) return fail("store full");
    } else if (messages_.count(index) != 0) {
        return fail("index in use");
    }
    StoredMessage m;
    m.index = index;
    m.status = status;
    m.pdu.reserve(pdu.size());
    for (char c : pdu) m.pdu += (c >= 'a' && c <= 'f') ? static_cast<char>(c - 'a' + 'A') : c;
    m.tpduLength = length;
    messages_[index] = m;
    if (messages_.size() > highWater_) highWater_ = messages_.size();
    return index;
}

const StoredMessage* MessageStore::Find(int index) const {
    auto it = messages_.find(index);
    return it == messages_.end() ? nullptr : &it->second;
}

StoredMessage* MessageStore::Find(int index) {
    auto it = messages_.find(index);
    return it == messages_.end() ? nullptr : &it->second;
}

bool MessageStore::Erase(int index) { return DeleteRefusal(index) == 0 && messages_.erase(index) != 0; }

void MessageStore::RefuseDeletes(int index, int cmsError) {
    if (cmsError > 0) refusals_[index] = cmsError; else refusals_.erase(index);
}

int MessageStore::DeleteRefusal(int index) const {
    const auto it = refusals_.find(index);
    return it == refusals_.end() ? 0 : it->second;
}

std::vector<int> MessageStore::Undeletable() const {
    std::vector<int> out;
    for (const auto& entry : refusals_) out.push_back(entry.first);
    return out;
}

void MessageStore::EraseByFlag(int flag) {
    for (auto it = messages_.begin(); it != messages_.end();) {
        const MessageStatus s = it->second.status;
        bool erase = false;
        switch (flag) {
            case 1: erase = s == MessageStatus::ReceivedRead; break;
            case 2: erase = s == MessageStatus::ReceivedRead || s == MessageStatus::StoredSent; break;
            case 3: erase = s != MessageStatus::ReceivedUnread; break;
            case 4: erase = true; break;
            default: break;
        }
        it = erase && DeleteRefusal(it->first) == 0 ? messages_.erase(it) : std::next(it);
    }
}

std::vector<StoredMessage> MessageStore::All() const {
    std::vector<StoredMessage> out;
    for (const auto& entry : messages_) out.push_back(entry.second);
    return out;
}

}  // namespace modemsim
