#pragma once
// Event sources of a database: subscribers of a key are told at most once per event, in ascending order of
// their addresses. The walk restarts whenever the subscriptions changed while a subscriber was told, so a
// subscriber may unsubscribe itself or destroy another one from inside notify.
#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <utility>
#include <vector>

template <typename Key, typename Arg, typename KeyLess = std::less<Key>> class EventEngine;

template <typename Key, typename Arg, typename KeyLess = std::less<Key>> class EventEngineSubscriber
{
public:
    using Engine = EventEngine<Key, Arg, KeyLess>;
    virtual ~EventEngineSubscriber() = default;
    // True when the subscriber changed this engine's subscriptions (kept for callers; the engine also
    // notices changes by itself).
    virtual bool notify(const Key& key, const Arg& arg, Engine& engine) = 0;
};

template <typename Key, typename Arg, typename KeyLess> class EventEngine
{
public:
    using Subscriber = EventEngineSubscriber<Key, Arg, KeyLess>;

    EventEngine() = default;
    EventEngine(const EventEngine&) = delete;
    EventEngine& operator=(const EventEngine&) = delete;

    // False when the subscriber already has this key.
    bool Subscribe(const Key& key, Subscriber* subscriber)
    {
        if (!pairs_.insert(Pair(subscriber, key)).second)
            return false;
        by_key_[key].insert(subscriber);
        ++changes_;
        return true;
    }

    // Every subscription of the subscriber, whatever its key.
    void Unsubscribe(Subscriber* subscriber)
    {
        auto first = pairs_.lower_bound(subscriber);
        bool changed = false;
        while (first != pairs_.end() && first->first == subscriber) {
            remove_from_key_index(first->second, subscriber);
            first = pairs_.erase(first);
            changed = true;
        }
        if (changed)
            ++changes_;
    }

    // Only the subscriber's subscription to one key.
    void Unsubscribe(const Key& key, Subscriber* subscriber)
    {
        if (pairs_.erase(Pair(subscriber, key)) == 0)
            return;
        remove_from_key_index(key, subscriber);
        ++changes_;
    }

    void Notify(const Key& key, const Arg& arg)
    {
        std::set<Subscriber*> told;
        for (;;) {
            std::vector<Subscriber*> snapshot = subscribers_of(key);
            unsigned seen = changes_;
            bool restarted = false;
            for (Subscriber* subscriber : snapshot) {
                if (!told.insert(subscriber).second)
                    continue;
                bool said_changed = subscriber->notify(key, arg, *this);
                if (said_changed || seen != changes_) {
                    restarted = true;
                    break;
                }
            }
            if (!restarted)
                return;
        }
    }

    // The names each source's notification goes by: row events, table events, a table added to a file.
    void NotifyRow(const Key& row, const Arg& code) { Notify(row, code); }
    void NotifyTable(const Key& table, const Arg& event) { Notify(table, event); }
    void NotifyTableAdded(const Key& file, const Arg& table) { Notify(file, table); }
    void UnsubscribeRow(Subscriber* subscriber) { Unsubscribe(subscriber); }

    bool HasSubscribers(const Key& key) const { return by_key_.find(key) != by_key_.end(); }
    size_t SubscriptionCount() const { return pairs_.size(); }

private:
    using Pair = std::pair<Subscriber*, Key>;

    // Ordered by subscriber address, then key; transparent so all pairs of one subscriber are found by
    // address.
    struct PairLess
    {
        using is_transparent = void;
        bool operator()(const Pair& a, const Pair& b) const
        {
            if (a.first != b.first)
                return std::less<Subscriber*>()(a.first, b.first);
            return KeyLess()(a.second, b.second);
        }
        bool operator()(const Pair& a, Subscriber* b) const { return std::less<Subscriber*>()(a.first, b); }
        bool operator()(Subscriber* a, const Pair& b) const { return std::less<Subscriber*>()(a, b.first); }
    };

    std::vector<Subscriber*> subscribers_of(const Key& key) const
    {
        auto found = by_key_.find(key);
        if (found == by_key_.end())
            return {};
        return std::vector<Subscriber*>(found->second.begin(), found->second.end());
    }

    void remove_from_key_index(const Key& key, Subscriber* subscriber)
    {
        auto found = by_key_.find(key);
        if (found == by_key_.end())
            return;
        found->second.erase(subscriber);
        if (found->second.empty())
            by_key_.erase(found);
    }

    std::set<Pair, PairLess> pairs_;
    // Subscribers of a key in ascending order of address, the order they are told in; a key without
    // subscribers has no entry. Both indexes keep subscribing and unsubscribing logarithmic.
    std::map<Key, std::set<Subscriber*, std::less<Subscriber*>>, KeyLess> by_key_;
    unsigned changes_ = 0;
};
