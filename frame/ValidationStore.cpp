#include "frame/ValidationStore.h"

ValidationStore::ValidationStore() : index_(ValidationMessageLess(false, true, true)) {}

size_t ValidationStore::Add(const ValidationMessage& message, size_t* count)
{
    std::lock_guard<std::mutex> hold(lock_);
    size_t number = messages_.size();
    messages_.push_back(message);
    index_.emplace(message.location, number);
    if (count)
        *count = messages_.size();
    return number;
}

void ValidationStore::Clear()
{
    std::lock_guard<std::mutex> hold(lock_);
    index_.clear();
    messages_.clear();
}

size_t ValidationStore::Count() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return messages_.size();
}

bool ValidationStore::Get(size_t number, ValidationMessage& message) const
{
    std::lock_guard<std::mutex> hold(lock_);
    if (number >= messages_.size())
        return false;
    message = messages_[number];
    return true;
}

std::vector<ValidationMessage> ValidationStore::Snapshot() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return messages_;
}

std::vector<size_t> ValidationStore::HideDocument(const std::wstring& document)
{
    std::lock_guard<std::mutex> hold(lock_);
    std::vector<size_t> numbers;
    for (size_t i = 0; i < messages_.size(); ++i) {
        if (messages_[i].location.text == document) {
            messages_[i].hidden = true;
            numbers.push_back(i);
        }
    }
    return numbers;
}

template <typename Visit> void ValidationStore::ForRow(const FindCriteria& location, Visit visit) const
{
    auto range = index_.equal_range(location);
    for (auto it = range.first; it != range.second; ++it) {
        const ValidationMessage& message = messages_[it->second];
        if (!message.hidden && !visit(message))
            return;
    }
}

unsigned ValidationStore::GetRowValidationInfo(const FindCriteria& location) const
{
    std::lock_guard<std::mutex> hold(lock_);
    unsigned flags = 0;
    ForRow(location, [&](const ValidationMessage& message) {
        if (!message.location.column_name.empty() && message.location.column_name != location.column_name)
            return true;
        if (message.type == L"1")
            flags |= kError;
        else if (message.type == L"2")
            flags |= kWarning;
        return flags != (kError | kWarning);
    });
    return flags;
}

std::wstring ValidationStore::GetFieldMessages(const FindCriteria& location) const
{
    std::lock_guard<std::mutex> hold(lock_);
    std::wstring text;
    bool every = location.key_values.empty();
    ForRow(location, [&](const ValidationMessage& message) {
        if (every || message.location.column_name.empty() ||
            message.location.column_name == location.column_name)
            text += message.description + L"\r\n";
        return true;
    });
    return text;
}
