// Copies made ahead on a thread of their own, and the database's in-use check on several: both
// are mostly waits on the system (under Wine, round trips to its server), which other work can
// fill.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <exception>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/runtime_error.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace ch {
namespace {

// A slim reader/writer lock held exclusively for a scope. Under Wine waiting on it costs no
// request to the server while nobody else holds it.
class Locked {
  public:
    explicit Locked(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
    ~Locked() { ReleaseSRWLockExclusive(&lock_); }

  private:
    SRWLOCK& lock_;
};

// The lock and the condition that the thread, its owner and the copies taken before they were
// made share; a copy taken early may outlive its maker.
struct Shared {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
    // With the lock held: waits until ready() holds, looking again at each change.
    template <typename Ready> void waitUntil(Ready ready) {
        while (!ready())
            SleepConditionVariableSRW(&changed, &lock, INFINITE, 0);
    }
    // With the lock held: wakes every wait to look again.
    void tellChanged() { WakeAllConditionVariable(&changed); }
};

// One copy asked for, as far as the thread has got with it. Changed only under Shared::lock.
struct Underway {
    std::string source, destination;
    uint64_t written = 0; // bytes written so far, a piece at a time
    bool made = false;    // copy or failure is there
    std::unique_ptr<OpenCopy> copy;
    std::exception_ptr failure;
};

// Waits until the thread is done with a copy (made, failed or abandoned): it changes no more.
void awaitMade(Shared& shared, const Underway& underway) {
    Locked locked(shared.lock);
    shared.waitUntil([&] { return underway.made; });
}

// A copy taken while it is being made: its reader has a handle of its own, and reads on as
// the pieces come.
class BegunCopy final : public OpenCopy {
  public:
    BegunCopy(std::shared_ptr<Shared> shared, std::shared_ptr<Underway> underway, HANDLE reader)
        : shared_(std::move(shared)), underway_(std::move(underway)), reader_(reader) {}

    void remove() override {
        reader_.close();
        // The packing has read it whole, so the thread is done with it; a copy that failed
        // left no file.
        awaitMade(*shared_, *underway_);
        if (const std::unique_ptr<OpenCopy> copy = std::move(underway_->copy))
            copy->remove();
    }

    intptr_t readHandle() const override { return reinterpret_cast<intptr_t>(reader_.get()); }

    bool readOn() override {
        Locked locked(shared_->lock);
        shared_->waitUntil([&] { return underway_->made || underway_->written > seen_; });
        if (underway_->failure)
            std::rethrow_exception(underway_->failure);
        if (!underway_->made) {
            seen_ = underway_->written;
            return true;
        }
        // The reads may have stopped short of the last pieces: once more to the end.
        return !std::exchange(toldWhole_, true);
    }

  private:
    std::shared_ptr<Shared> shared_;
    std::shared_ptr<Underway> underway_;
    FileHandle reader_;
    uint64_t seen_ = 0;
    bool toldWhole_ = false;
};

// One thread makes the copies one after another in the order asked for; take() waits for the
// oldest. Every change of the queue happens under the lock, and every wait re-checks its
// condition under it, so that no wake-up is lost between a check and a wait.
class ThreadCopiesAhead final : public CopiesAhead {
  public:
    explicit ThreadCopiesAhead(FileSystem& fs) : fs_(fs), thread_([this] { work(); }) {}
    ~ThreadCopiesAhead() override { stop(); }

    void add(const std::string& source, const std::string& destination) override {
        auto underway = std::make_shared<Underway>();
        underway->source = source;
        underway->destination = destination;
        Locked locked(shared_->lock);
        asked_.push_back(std::move(underway));
        shared_->tellChanged();
    }

    std::unique_ptr<OpenCopy> take(const CopyProgress&) override {
        return made(takeFront([](const Underway& u) { return u.made; }));
    }

    std::unique_ptr<OpenCopy> takeBegun() override {
        const std::shared_ptr<Underway> u =
            takeFront([](const Underway& u) { return u.made || u.written > 0; });
        if (!u->made) {
            // Shared with the thread's writes and with the deletion of a copy that fails.
            const HANDLE reader =
                CreateFileW(winPath(u->destination).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
            if (reader != INVALID_HANDLE_VALUE)
                return std::make_unique<BegunCopy>(shared_, u, reader);
            // Not to be read yet: taken once it is made.
            awaitMade(*shared_, *u);
        }
        return made(u);
    }

    std::vector<std::unique_ptr<OpenCopy>> stop() noexcept override {
        {
            Locked locked(shared_->lock);
            stopping_ = true;
            abandon_ = true;
            shared_->tellChanged();
        }
        if (thread_.joinable())
            thread_.join();
        std::vector<std::unique_ptr<OpenCopy>> untaken;
        untaken.reserve(asked_.size());
        for (const std::shared_ptr<Underway>& asked : asked_)
            untaken.push_back(std::move(asked->copy));
        asked_.clear();
        return untaken;
    }

  private:
    // The oldest copy asked for, once ready says it may be taken.
    template <typename Ready> std::shared_ptr<Underway> takeFront(Ready ready) {
        Locked locked(shared_->lock);
        shared_->waitUntil([&] { return ready(*asked_.front()); });
        std::shared_ptr<Underway> front = std::move(asked_.front());
        asked_.pop_front();
        --started_;
        return front;
    }

    // A copy the thread has finished with: what it made, or its failure thrown.
    static std::unique_ptr<OpenCopy> made(const std::shared_ptr<Underway>& u) {
        if (u->failure)
            std::rethrow_exception(u->failure);
        return std::move(u->copy);
    }

    void work() {
        Locked locked(shared_->lock);
        for (;;) {
            shared_->waitUntil([&] { return stopping_ || started_ < asked_.size(); });
            if (stopping_)
                return;
            // Its own hold on the copy: a copy taken as soon as it is begun leaves the queue.
            const std::shared_ptr<Underway> asked = asked_[started_++];
            ReleaseSRWLockExclusive(&shared_->lock);
            std::unique_ptr<OpenCopy> copy;
            std::exception_ptr failure;
            try {
                // A stop abandons the copy under way at its next piece; it leaves no file.
                copy = fs_.copyToNew(asked->source, asked->destination, [&](uint64_t written) {
                    Locked told(shared_->lock);
                    asked->written = written;
                    shared_->tellChanged();
                    return !abandon_.load();
                });
            } catch (...) {
                failure = std::current_exception();
            }
            AcquireSRWLockExclusive(&shared_->lock);
            asked->copy = std::move(copy);
            asked->failure = failure;
            asked->made = true;
            shared_->tellChanged();
        }
    }

    FileSystem& fs_;
    const std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
    std::deque<std::shared_ptr<Underway>> asked_;
    size_t started_ = 0; // the first of asked_ the thread has not begun
    bool stopping_ = false;
    std::atomic<bool> abandon_{false};
    std::thread thread_; // last: it starts once the rest is ready
};

} // namespace

std::unique_ptr<CopiesAhead> Win32FileSystem::copiesAhead() {
    try {
        return std::make_unique<ThreadCopiesAhead>(*this);
    } catch (const std::system_error&) {
        // No thread to be had: each copy is made when it is taken.
        return FileSystem::copiesAhead();
    }
}

std::optional<size_t> Win32FileSystem::firstInUse(const std::vector<std::string>& files) {
    // Each check is two round trips to the Wine server with little else; a few threads keep
    // several in flight. Not worth a thread for a small database.
    constexpr size_t kThreads = 4;
    constexpr size_t kFilesForThreads = 128;
    if (files.size() < kFilesForThreads)
        return FileSystem::firstInUse(files);
    std::atomic<size_t> next{0};
    std::atomic<size_t> first{files.size()};
    auto check = [&] {
        // Files are taken in list order; once one in use is found, no later one matters.
        for (size_t i; (i = next++) < first.load();)
            if (fileInUse(files[i])) {
                size_t seen = first.load();
                while (i < seen && !first.compare_exchange_weak(seen, i)) {
                }
            }
    };
    std::vector<std::thread> helpers;
    try {
        for (size_t n = 1; n < kThreads; ++n)
            helpers.emplace_back(check);
    } catch (const std::system_error&) {
        // Fewer helpers, or none: this thread checks what they would have.
    }
    check();
    for (std::thread& helper : helpers)
        helper.join();
    if (first.load() == files.size())
        return std::nullopt;
    return first.load();
}

} // namespace ch
