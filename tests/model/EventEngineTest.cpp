#include "model/EventEngine.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

using Engine = EventEngine<int, int>;

struct Recorder : EventEngineSubscriber<int, int>
{
    std::vector<Recorder*>* log = nullptr;
    Engine* engine = nullptr;
    std::function<bool()> action;
    ~Recorder() override
    {
        if (engine)
            engine->Unsubscribe(this);
    }
    bool notify(const int&, const int&, Engine&) override
    {
        log->push_back(this);
        return action ? action() : false;
    }
};

} // namespace

TEST(EventEngine, AddressOrderAndTellOnce)
{
    Engine engine;
    std::vector<Recorder*> log;
    std::vector<std::unique_ptr<Recorder>> subscribers;
    for (int i = 0; i < 5; ++i) {
        subscribers.push_back(std::make_unique<Recorder>());
        subscribers.back()->log = &log;
        subscribers.back()->engine = &engine;
    }
    // Subscribe in reverse address order, one twice.
    std::vector<Recorder*> by_address;
    for (auto& s : subscribers)
        by_address.push_back(s.get());
    std::sort(by_address.begin(), by_address.end());
    for (auto it = by_address.rbegin(); it != by_address.rend(); ++it)
        EXPECT_TRUE(engine.Subscribe(1, *it));
    EXPECT_FALSE(engine.Subscribe(1, by_address[2]));
    engine.Subscribe(2, by_address[0]);
    engine.Notify(1, 0);
    EXPECT_EQ(log, by_address);

    // One unsubscription removes every key of a subscriber.
    engine.Unsubscribe(by_address[0]);
    EXPECT_FALSE(engine.HasSubscribers(2));
    EXPECT_EQ(engine.SubscriptionCount(), 4u);
}

TEST(EventEngine, SubscribersDestroyedDuringTheWalk)
{
    Engine engine;
    std::vector<Recorder*> log;
    auto a = std::make_unique<Recorder>();
    auto b = std::make_unique<Recorder>();
    auto c = std::make_unique<Recorder>();
    for (Recorder* r : {a.get(), b.get(), c.get()}) {
        r->log = &log;
        r->engine = &engine;
        engine.Subscribe(7, r);
    }
    Recorder* first = std::min({a.get(), b.get(), c.get()});
    // The first told destroys another subscriber and forgets to say so.
    Recorder* victim = first == a.get() ? c.get() : a.get();
    first->action = [&] {
        if (victim == a.get())
            a.reset();
        else
            c.reset();
        return false;
    };
    engine.Notify(7, 1);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], first);
    EXPECT_NE(log[1], first);
    EXPECT_NE(log[1], victim);

    // A subscriber that unsubscribes itself and says so: the others are still told exactly once.
    first->action = nullptr;
    log.clear();
    Recorder* remaining_a = a ? a.get() : c.get();
    remaining_a->action = [&] {
        engine.Unsubscribe(remaining_a);
        return true;
    };
    engine.NotifyRow(7, 2);
    EXPECT_EQ(std::count(log.begin(), log.end(), b.get()), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), remaining_a), 1);
    log.clear();
    engine.Notify(7, 3);
    EXPECT_EQ(log, std::vector<Recorder*>{b.get()});
}

TEST(EventEngine, SubscribingDuringTheEventIsToldOnRestart)
{
    Engine engine;
    std::vector<Recorder*> log;
    Recorder a, b;
    a.log = b.log = &log;
    a.engine = b.engine = &engine;
    engine.Subscribe(3, &a);
    a.action = [&] {
        engine.Subscribe(3, &b);
        return true;
    };
    engine.Notify(3, 0);
    EXPECT_EQ(log, (std::vector<Recorder*>{&a, &b}));
}
