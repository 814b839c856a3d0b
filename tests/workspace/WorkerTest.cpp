#include "workspace/Worker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "support/FrontThread.h"
#include "support/RecordingPort.h"

namespace brenzo::workspace {
namespace {

using testing::FrontThread;
using testing::RecordingPort;

// Records the calls and the thread each one came on.
class FrontPort : public RecordingPort {
public:
    std::thread::id front = std::this_thread::get_id();
    bool offThread = false;
    std::function<void()> onRowsReset;
    std::function<void()> onStatus;

    void SetStatus(std::string_view text) override {
        check();
        if (onStatus) onStatus();
        RecordingPort::SetStatus(text);
    }
    void RowsReset() override {
        check();
        if (onRowsReset) onRowsReset();
        RecordingPort::RowsReset();
    }
    std::optional<std::string> AskOpenFile(std::string_view filter) override {
        check();
        return RecordingPort::AskOpenFile(filter);
    }

private:
    void check() { offThread |= std::this_thread::get_id() != front; }
};

std::string describe(const RecordingPort::Call& c) {
    std::string s = c.what;
    if (!c.text.empty()) s += " " + c.text;
    if (c.what == "progress" || c.what == "row" || c.what == "marquee") s += " " + std::to_string(c.a);
    if (c.what == "progress") s += "/" + std::to_string(c.b);
    return s;
}

std::vector<std::string> described(const RecordingPort& port) {
    std::vector<std::string> out;
    for (const auto& c : port.calls) out.push_back(describe(c));
    return out;
}

struct Outcome {
    bool finished = false;
    std::optional<std::string> failure;
    Worker::Finished callback() {
        return [this](std::optional<std::string> f) {
            finished = true;
            failure = std::move(f);
        };
    }
};

TEST(Worker, DeliversEveryCallInOrderOnTheFrontThreadAndAnswersTheDialogs) {
    FrontThread thread;
    FrontPort front;
    front.answers = {std::string("x.bin"), std::nullopt};
    front.choices = {true};
    Worker worker(front, thread.Poster());
    std::atomic<int> stage{0};
    std::atomic<bool> queued{false};
    int stageSeenByRowsReset = -1;
    front.onRowsReset = [&] {
        // The command waits here: it has not gone on to its next step.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        stageSeenByRowsReset = stage;
    };
    Outcome run;
    ASSERT_TRUE(worker.Start(
        [&](UiPort& port) {
            port.Lock();
            port.SetStatus("Loading...");
            for (int i = 1; i <= 3; ++i) port.SetProgress(i, 10);  // delivered as the last one
            port.SetMarquee(true);
            port.Pump();  // nothing to pump on this thread
            queued = true;
            const auto file = port.AskOpenFile("All files");
            port.SetStatus(file.value_or("none"));
            port.SetProgress(4, 10);
            port.SetStatus(port.Ask("Mix down", "Mix?", "Yes", "No") ? "mixed" : "kept");
            port.SetCaption("Sound Bank");
            stage = 1;
            port.RowsReset();
            stage = 2;
            port.RowChanged(4);
            port.MenusChanged();
            port.ShowError("Invalid file!");
            port.SetStatus(port.AskFolder("Folder").value_or("none"));
            port.SetMarquee(false);
            port.Unlock();
        },
        run.callback()));
    EXPECT_FALSE(worker.Start([](UiPort&) {}, {}));  // one at a time
    // The front end is busy until the command waits for its first answer: the positions queued
    // meanwhile reach it as the last one.
    while (!queued) std::this_thread::yield();
    ASSERT_TRUE(thread.RunUntil([&] { return run.finished; }));
    EXPECT_FALSE(worker.Running());
    EXPECT_FALSE(run.failure);
    EXPECT_FALSE(front.offThread);
    EXPECT_EQ(stageSeenByRowsReset, 1);
    EXPECT_THAT(described(front), ::testing::ElementsAre("lock", "status Loading...", "progress 3/10", "marquee 1",
                                                         "status x.bin", "progress 4/10", "ask Mix down: Mix? [Yes/No]",
                                                         "status mixed", "caption Sound Bank", "rows", "row 4", "menus",
                                                         "error Invalid file!", "status none", "marquee 0", "unlock"));
    EXPECT_EQ(front.dialogs, (std::vector<std::string>{"open All files", "folder Folder"}));
}

TEST(Worker, ACommandSeesTheCancelAndTheNextOneStartsUncancelled) {
    FrontThread thread;
    FrontPort front;
    Worker worker(front, thread.Poster());
    Outcome first;
    int steps = 0;
    ASSERT_TRUE(worker.Start(
        [&](UiPort& port) {
            port.SetStatus("Exporting...");
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (!port.CancelRequested() && std::chrono::steady_clock::now() < deadline) ++steps;
        },
        first.callback()));
    ASSERT_TRUE(thread.RunUntil([&] { return front.status == "Exporting..."; }));
    worker.RequestCancel();
    ASSERT_TRUE(thread.RunUntil([&] { return first.finished; }));

    Outcome second;
    bool cancelledAtStart = true;
    ASSERT_TRUE(worker.Start([&](UiPort& port) { cancelledAtStart = port.CancelRequested(); }, second.callback()));
    ASSERT_TRUE(thread.RunUntil([&] { return second.finished; }));
    EXPECT_FALSE(cancelledAtStart);
}

TEST(Worker, AThrowingCommandLeavesTheFrontEndUnlockedWithTheReason) {
    FrontThread thread;
    FrontPort front;
    Worker worker(front, thread.Poster());
    Outcome run;
    ASSERT_TRUE(worker.Start(
        [](UiPort& port) {
            port.Lock();
            port.Lock();
            port.SetStatus("Replacing...");
            port.SetMarquee(true);
            throw std::runtime_error("cannot write bank.bin: disk full");
        },
        run.callback()));
    ASSERT_TRUE(thread.RunUntil([&] { return run.finished; }));
    EXPECT_EQ(run.failure, "cannot write bank.bin: disk full");
    EXPECT_EQ(front.lockDepth, 0);
    EXPECT_THAT(described(front),
                ::testing::ElementsAre("lock", "lock", "status Replacing...", "marquee 1", "unlock", "unlock",
                                       "marquee 0", "status", "error cannot write bank.bin: disk full"));
}

TEST(Worker, CallsStillQueuedWhenTheCommandEndsAreAllDeliveredBeforeItsEnd) {
    FrontThread thread;
    FrontPort front;
    Worker worker(front, thread.Poster());
    bool finished = false;
    std::size_t deliveredBeforeEnd = 0;
    std::atomic<bool> returned{false};
    ASSERT_TRUE(worker.Start(
        [&](UiPort& port) {
            for (int i = 0; i < 1000; ++i) port.SetStatus(std::to_string(i));
            returned = true;
        },
        [&](const std::optional<std::string>&) {
            deliveredBeforeEnd = front.calls.size();
            finished = true;
        }));
    while (!returned) std::this_thread::yield();  // nothing delivered yet: the front end is busy
    EXPECT_TRUE(front.calls.empty());
    ASSERT_TRUE(thread.RunUntil([&] { return finished; }));
    EXPECT_EQ(deliveredBeforeEnd, 1000u);
    EXPECT_EQ(front.status, "999");
}

TEST(Worker, ManyQueuedCallsStillLetTheFrontEndsLoopTurnBetweenThem) {
    // Each call costs the front end a moment, and 300 wait: its loop must get its turn while they
    // are delivered, not only after the last, and they all arrive, in order.
    FrontThread thread;
    FrontPort front;
    front.onStatus = [] {  // spun, not slept: some systems' sleeps are far longer or shorter
        const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(200);
        while (std::chrono::steady_clock::now() < until) {
        }
    };
    Worker worker(front, thread.Poster());
    std::atomic<bool> called{false};
    bool finished = false;
    ASSERT_TRUE(worker.Start(
        [&](UiPort& port) {
            for (int i = 0; i < 300; ++i) port.SetStatus(std::to_string(i));
            called = true;
        },
        [&](const std::optional<std::string>&) { finished = true; }));
    while (!called) std::this_thread::yield();
    std::size_t turnsMidway = 0;
    ASSERT_TRUE(thread.RunUntil([&] {
        if (!front.calls.empty() && front.calls.size() < 300) ++turnsMidway;
        return finished;
    }));
    EXPECT_GE(turnsMidway, 2u);
    const auto texts = front.texts("status");
    ASSERT_EQ(texts.size(), 300u);
    for (std::size_t i = 0; i < texts.size(); ++i) ASSERT_EQ(texts[i], std::to_string(i));
}

TEST(Worker, RunOnFrontRunsThereAndWaits) {
    FrontThread thread;
    FrontPort front;
    Worker worker(front, thread.Poster());
    Outcome run;
    std::thread::id ranOn;
    bool ranBeforeReturn = false;
    ASSERT_TRUE(worker.Start(
        [&](UiPort&) {
            bool ran = false;
            worker.RunOnFront([&] {
                ranOn = std::this_thread::get_id();
                ran = true;
            });
            ranBeforeReturn = ran;
        },
        run.callback()));
    ASSERT_TRUE(thread.RunUntil([&] { return run.finished; }));
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_TRUE(ranBeforeReturn);
}

TEST(Worker, GoingAwayWhileACommandWaitsForAnAnswerCancelsTheDialogAndDeliversNothingMore) {
    FrontThread thread;
    FrontPort front;
    front.answers = {std::string("never given")};
    std::optional<std::string> answer = "unset";
    bool askedAgain = false;
    {
        Worker worker(front, thread.Poster());
        ASSERT_TRUE(worker.Start(
            [&](UiPort& port) {
                answer = port.AskOpenFile("All files");
                port.SetStatus("after");
                askedAgain = !port.AskFolder("Folder");
            },
            {}));
        while (!thread.HasPosted()) std::this_thread::yield();
    }  // the worker waits for its command, which gets "cancelled" for both dialogs
    EXPECT_EQ(answer, std::nullopt);
    EXPECT_TRUE(askedAgain);
    thread.RunUntil([&] { return !thread.HasPosted(); });
    EXPECT_TRUE(front.calls.empty());
    EXPECT_TRUE(front.dialogs.empty());
}

}  // namespace
}  // namespace brenzo::workspace
