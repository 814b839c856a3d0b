#include "workspace/Worker.h"

#include <chrono>
#include <deque>
#include <exception>
#include <future>
#include <mutex>
#include <system_error>
#include <utility>

#include "platform/Threads.h"

namespace brenzo::workspace {

namespace {
// How long the front end's thread runs the command's calls before its own loop turns again.
constexpr std::chrono::milliseconds kDrainSlice{10};
}  // namespace

// The queue of calls from the command's thread to the front end's thread. One posted function
// at a time drains it, taking one call at a time, so that a call which runs an event loop of its
// own (a message box) cannot be overtaken by the calls queued behind it.
class Worker::Channel : public std::enable_shared_from_this<Worker::Channel> {
public:
    struct Item {
        std::function<void(UiPort&)> run;  // on the front end's thread
        std::function<void()> drop;        // instead, once the worker is gone
        bool progress = false;
        std::int64_t position = 0;
        std::int64_t maximum = 0;
    };

    Channel(UiPort& front, Post post) : front_(front), post_(std::move(post)) {}

    // False (and nothing queued) once the worker is gone.
    bool Push(Item item) {
        bool postNow = false;
        {
            std::lock_guard lock(mutex_);
            if (closed_) return false;
            if (item.progress && !queue_.empty() && queue_.back().progress) {
                // The bar only ever shows the last of a run of positions.
                queue_.back().position = item.position;
                queue_.back().maximum = item.maximum;
            } else {
                queue_.push_back(std::move(item));
            }
            postNow = !posted_;
            posted_ = true;
        }
        if (postNow) post_([self = shared_from_this()] { self->drain(); });
        return true;
    }

    // The front end's thread: nothing more is delivered; calls that wait get their drop answer.
    void Close() {
        std::deque<Item> dropped;
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
            dropped.swap(queue_);
        }
        for (Item& item : dropped)
            if (item.drop) item.drop();
    }

private:
    // Runs the queued calls for one slice of time at most, then posts itself again for the rest:
    // a command that keeps calling (a bar moved at every entry, a text at every percent) would
    // otherwise keep the front end's thread here, and its loop would not turn until the command
    // paused.
    void drain() {
        const auto start = std::chrono::steady_clock::now();
        for (;;) {
            Item item;
            {
                std::lock_guard lock(mutex_);
                if (closed_ || queue_.empty()) {
                    posted_ = false;
                    return;
                }
                if (std::chrono::steady_clock::now() - start >= kDrainSlice) break;
                item = std::move(queue_.front());
                queue_.pop_front();
            }
            if (item.progress)
                front_.SetProgress(item.position, item.maximum);
            else
                item.run(front_);
        }
        post_([self = shared_from_this()] { self->drain(); });
    }

    UiPort& front_;
    Post post_;
    std::mutex mutex_;
    std::deque<Item> queue_;
    bool posted_ = false;
    bool closed_ = false;
};

// The port the command talks to, on the command's thread.
class Worker::Port : public UiPort {
public:
    Port(Channel& channel, const std::atomic<bool>& cancel) : channel_(channel), cancel_(cancel) {}

    void SetStatus(std::string_view text) override {
        later([text = std::string(text)](UiPort& front) { front.SetStatus(text); });
    }
    void SetProgress(std::int64_t position, std::int64_t maximum) override {
        Channel::Item item;
        item.progress = true;
        item.position = position;
        item.maximum = maximum;
        channel_.Push(std::move(item));
    }
    void SetMarquee(bool on) override {
        marquee_ = on;
        later([on](UiPort& front) { front.SetMarquee(on); });
    }
    void Lock() override {
        ++locks_;
        later([](UiPort& front) { front.Lock(); });
    }
    void Unlock() override {
        --locks_;
        later([](UiPort& front) { front.Unlock(); });
    }
    void ShowError(std::string_view message) override {
        waitFor([message = std::string(message)](UiPort& front) { front.ShowError(message); });
    }
    void SetCaption(std::string_view caption) override {
        waitFor([caption = std::string(caption)](UiPort& front) { front.SetCaption(caption); });
    }
    void RowsReset() override {
        waitFor([](UiPort& front) { front.RowsReset(); });
    }
    void RowChanged(std::size_t entry) override {
        waitFor([entry](UiPort& front) { front.RowChanged(entry); });
    }
    void MenusChanged() override {
        waitFor([](UiPort& front) { front.MenusChanged(); });
    }
    std::optional<std::string> AskOpenFile(std::string_view filter) override {
        return wait<std::optional<std::string>>(
            [filter = std::string(filter)](UiPort& front) { return front.AskOpenFile(filter); }, std::nullopt);
    }
    std::optional<std::string> AskSaveFile(std::string_view filter, std::string_view presetName) override {
        return wait<std::optional<std::string>>([filter = std::string(filter), preset = std::string(presetName)](
                                                    UiPort& front) { return front.AskSaveFile(filter, preset); },
                                                std::nullopt);
    }
    std::optional<std::string> AskFolder(std::string_view caption) override {
        return wait<std::optional<std::string>>(
            [caption = std::string(caption)](UiPort& front) { return front.AskFolder(caption); }, std::nullopt);
    }
    bool Ask(std::string_view title, std::string_view text, std::string_view yes, std::string_view no) override {
        return wait<bool>([title = std::string(title), text = std::string(text), yes = std::string(yes),
                           no = std::string(no)](UiPort& front) { return front.Ask(title, text, yes, no); },
                          false);
    }
    bool CancelRequested() const override { return cancel_; }

    // Leaves the front end as a command that ended normally would: unlocked, no marquee, no
    // busy text, and the reason shown.
    void Recover(const std::string& message) {
        while (locks_ > 0) Unlock();
        if (marquee_) SetMarquee(false);
        SetStatus("");
        ShowError(message);
    }

    // Runs fn on the front end's thread and returns its answer, or `ifGone` once the worker is
    // gone. An exception thrown there is thrown here, in the command.
    template <class T>
    T wait(std::function<T(UiPort&)> fn, T ifGone) {
        auto promise = std::make_shared<std::promise<T>>();
        auto answer = promise->get_future();
        Channel::Item item;
        item.run = [promise, fn = std::move(fn)](UiPort& front) {
            try {
                promise->set_value(fn(front));
            } catch (...) {
                promise->set_exception(std::current_exception());
            }
        };
        item.drop = [promise, ifGone] { promise->set_value(ifGone); };
        if (!channel_.Push(std::move(item))) return ifGone;
        return answer.get();
    }

    void waitFor(std::function<void(UiPort&)> fn) {
        wait<bool>(
            [fn = std::move(fn)](UiPort& front) {
                fn(front);
                return true;
            },
            true);
    }

protected:
    void PumpEvents() override {}

private:
    void later(std::function<void(UiPort&)> fn) {
        Channel::Item item;
        item.run = std::move(fn);
        channel_.Push(std::move(item));
    }

    Channel& channel_;
    const std::atomic<bool>& cancel_;
    int locks_ = 0;
    bool marquee_ = false;
};

Worker::Worker(UiPort& front, Post post)
    : channel_(std::make_shared<Channel>(front, std::move(post))), port_(std::make_unique<Port>(*channel_, cancel_)) {}

Worker::~Worker() {
    channel_->Close();
    if (thread_.joinable()) thread_.join();
}

bool Worker::Start(Command command, Finished finished) {
    if (running_) return false;
    if (thread_.joinable()) thread_.join();  // the last command's thread, which has ended
    cancel_ = false;
    running_ = true;
    try {
        thread_ = std::thread([this, command = std::move(command), finished = std::move(finished)]() mutable {
            // The window's thread, which repaints, goes first whenever it wakes.
            platform::LowerThisThreadsPriority();
            std::optional<std::string> failure;
            try {
                command(*port_);
            } catch (const std::exception& e) {
                failure = *e.what() ? e.what() : "unexpected error";
            } catch (...) {
                failure = "unexpected error";
            }
            if (failure) port_->Recover(*failure);
            Channel::Item last;
            last.run = [this, finished = std::move(finished), failure](UiPort&) {
                running_ = false;
                if (finished) finished(failure);
            };
            channel_->Push(std::move(last));
        });
    } catch (const std::system_error&) {
        running_ = false;  // no thread to be had: the caller runs the command itself
        return false;
    }
    return true;
}

void Worker::RunOnFront(std::function<void()> fn) {
    port_->waitFor([fn = std::move(fn)](UiPort&) { fn(); });
}

}  // namespace brenzo::workspace
