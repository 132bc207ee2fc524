#pragma once
// The messages of the validation runs, in insertion order (a message's number is its position) and
// indexed by (document, table, key values). A run adds messages on its worker thread while the
// user-interface thread reads them for colours, tips, refills and jumps, so every call takes the lock;
// none keeps it while calling out, but for Read's own reader.
#include "frame/ValidationMessage.h"

#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class ValidationStore
{
public:
    // Bits of GetRowValidationInfo.
    enum : unsigned
    {
        kError = 1,
        kWarning = 2
    };

    ValidationStore();
    ValidationStore(const ValidationStore&) = delete;
    ValidationStore& operator=(const ValidationStore&) = delete;

    // The message's number; `count` (when given) gets the number of messages after the insertion.
    size_t Add(const ValidationMessage& message, size_t* count = nullptr);
    void Clear();
    size_t Count() const;
    // False when there is no such number (the store was cleared meanwhile).
    bool Get(size_t number, ValidationMessage& message) const;
    std::vector<ValidationMessage> Snapshot() const;
    // Hands the message to read under the lock, without copying it; false when there is no such number.
    // read must not call into the store.
    template <typename Reader> bool Read(size_t number, Reader read) const
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (number >= messages_.size())
            return false;
        read(messages_[number]);
        return true;
    }
    // Marks the document's messages hidden; their numbers.
    std::vector<size_t> HideDocument(const std::wstring& document);

    // For the row (document, table, key values): kError when a counted message is an error, kWarning
    // when one is a warning. A message counts when it is shown and names no column or the location's.
    unsigned GetRowValidationInfo(const FindCriteria& location) const;
    // The descriptions of the field's shown messages, each followed by "\r\n".
    std::wstring GetFieldMessages(const FindCriteria& location) const;

private:
    using Index = std::multimap<FindCriteria, size_t, ValidationMessageLess>;
    template <typename Visit> void ForRow(const FindCriteria& location, Visit visit) const;

    mutable std::mutex lock_;
    std::vector<ValidationMessage> messages_;
    Index index_;
};
