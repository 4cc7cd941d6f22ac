// Copies made ahead on a thread of their own, and the database's in-use check on several: both
// are mostly waits on the system (under Wine, round trips to its server), which other work can
// fill.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <exception>
#include <system_error>
#include <thread>

#include "platform/runtime_error.h"
#include "platform/win32/win32_file_system.h"

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

// One thread makes the copies one after another in the order asked for; take() waits for the
// oldest. Every change of the queue happens under lock_, and every wait re-checks its
// condition under it, so that no wake-up is lost between a check and a wait.
class ThreadCopiesAhead final : public CopiesAhead {
  public:
    explicit ThreadCopiesAhead(FileSystem& fs) : fs_(fs), thread_([this] { work(); }) {}
    ~ThreadCopiesAhead() override { stop(); }

    void add(const std::string& source, const std::string& destination) override {
        Locked locked(lock_);
        asked_.push_back({source, destination, {}, {}, false});
        WakeAllConditionVariable(&changed_);
    }

    std::unique_ptr<OpenCopy> take(const CopyProgress&) override {
        Asked done;
        {
            Locked locked(lock_);
            while (!asked_.front().made)
                SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
            done = std::move(asked_.front());
            asked_.pop_front();
            --started_;
        }
        if (done.failure)
            std::rethrow_exception(done.failure);
        return std::move(done.copy);
    }

    std::vector<std::unique_ptr<OpenCopy>> stop() noexcept override {
        {
            Locked locked(lock_);
            stopping_ = true;
            abandon_ = true;
            WakeAllConditionVariable(&changed_);
        }
        if (thread_.joinable())
            thread_.join();
        std::vector<std::unique_ptr<OpenCopy>> untaken;
        untaken.reserve(asked_.size());
        for (Asked& asked : asked_)
            untaken.push_back(std::move(asked.copy));
        asked_.clear();
        return untaken;
    }

  private:
    struct Asked {
        std::string source, destination;
        std::unique_ptr<OpenCopy> copy;
        std::exception_ptr failure;
        bool made = false; // copy or failure is there
    };

    void work() {
        Locked locked(lock_);
        for (;;) {
            while (!stopping_ && started_ == asked_.size())
                SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
            if (stopping_)
                return;
            // A deque keeps its elements in place as others are added or taken from the front.
            Asked& asked = asked_[started_++];
            ReleaseSRWLockExclusive(&lock_);
            std::unique_ptr<OpenCopy> copy;
            std::exception_ptr failure;
            try {
                // A stop abandons the copy under way at its next piece; it leaves no file.
                copy = fs_.copyToNew(asked.source, asked.destination,
                                     [this](uint64_t) { return !abandon_.load(); });
            } catch (...) {
                failure = std::current_exception();
            }
            AcquireSRWLockExclusive(&lock_);
            asked.copy = std::move(copy);
            asked.failure = failure;
            asked.made = true;
            WakeAllConditionVariable(&changed_);
        }
    }

    FileSystem& fs_;
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
    std::deque<Asked> asked_;
    size_t started_ = 0; // the first asked_ the thread has not begun
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
