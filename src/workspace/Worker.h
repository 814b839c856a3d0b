#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "workspace/UiPort.h"

namespace brenzo::workspace {

// Runs one command at a time on a thread of its own, so that the front end's thread stays free
// to repaint, move the marquee and tick its timers while the command reads a file, converts,
// encodes, rebuilds, saves or exports.
//
// The command talks to a port of the worker's own, which hands each call to the front end's
// real port on the front end's thread, in the order the command made them:
// - SetStatus, SetProgress, SetMarquee, Lock and Unlock are queued and the command goes on; a
//   run of SetProgress calls with nothing between them is delivered as its last one;
// - SetCaption, RowsReset, RowChanged and MenusChanged wait until the front end has run them:
//   the front end reads the workspace there, and the command changes nothing meanwhile;
// - ShowError waits until the message box is closed, as it holds a command on one thread;
// - the dialogs and Ask wait for the user's answer;
// - CancelRequested reads a flag that RequestCancel sets; Pump does nothing, since the front
//   end's own loop runs all the time.
//
// Binding it takes one function from the front end: "run this function on my thread soon",
// safe to call from any thread, functions run in the order given (Qt:
// QMetaObject::invokeMethod(object, fn, Qt::QueuedConnection); Win32: PostMessage of a pointer
// to a copy of fn, which the window procedure runs and deletes). The front end calls Start, then
// keeps its own event loop running until `finished` has run (a handler that is to return after
// its command runs a nested loop). While Running(), the front end must not read what the
// command changes (the workspace, its rows, its menu state) except inside the calls above that
// wait, nor start another command: its list shows what the last RowsReset or RowChanged gave.
//
// A command that throws is ended cleanly: every Lock it left is undone, the marquee stops, the
// status empties and the exception's message is shown as an error.
class Worker {
public:
    using Post = std::function<void(std::function<void()>)>;
    using Command = std::function<void(UiPort&)>;
    // Runs on the front end's thread after every call of the command has been delivered; holds
    // the message of the exception that ended the command, if one did.
    using Finished = std::function<void(std::optional<std::string> failure)>;

    Worker(UiPort& front, Post post);
    // Waits for a command that still runs; from then on every call that waits is answered as a
    // cancelled dialog, and nothing more reaches the front end.
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Starts a command; false (and nothing started) while another one runs. The front end's
    // thread only.
    bool Start(Command command, Finished finished);
    // From Start until `finished` has run. The front end's thread only.
    bool Running() const { return running_; }
    // The user asked to stop (a Cancel button, Esc): the command's CancelRequested says so.
    void RequestCancel() { cancel_ = true; }

    // From the command's thread: runs fn on the front end's thread and returns once it has run
    // (stopping the preview, which belongs to the front end).
    void RunOnFront(std::function<void()> fn);

private:
    class Channel;
    class Port;

    std::shared_ptr<Channel> channel_;
    std::unique_ptr<Port> port_;
    std::atomic<bool> cancel_{false};
    bool running_ = false;
    std::thread thread_;
};

}  // namespace brenzo::workspace
