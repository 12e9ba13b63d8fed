#pragma once
// Time for the simulated devices: a queue of actions, each at an instant in microseconds.
// Virtual time jumps from action to action; the pseudo-terminal server runs the same queue
// against the real clock.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <queue>
#include <unordered_map>
#include <vector>

namespace korrsim {

using TimeUs = uint64_t;
inline constexpr TimeUs kUsPerMs = 1000;

class EventLoop {
  public:
    using Action = std::function<void()>;

    TimeUs Now() const { return now_; }
    // Schedules an action; actions due at the same instant run in the order they were added.
    uint64_t At(TimeUs when, Action action);
    uint64_t After(TimeUs delay, Action action) { return At(now_ + delay, std::move(action)); }
    void Cancel(uint64_t id);

    // Actions belong to the group that was running when they were scheduled (0: none), and so
    // do the actions those schedule. A device that loses power drops its group: nothing it had
    // pending runs any more, a reply half on the wire included.
    uint32_t NewGroup() { return ++groups_; }
    void DropGroup(uint32_t group) { ++dropped_[group]; }
    // Runs the code of one scope as a member of the group.
    class GroupScope {
      public:
        GroupScope(EventLoop& loop, uint32_t group) : loop_(loop), outer_(loop.current_) {
            loop_.current_ = group;
        }
        ~GroupScope() { loop_.current_ = outer_; }
        GroupScope(const GroupScope&) = delete;
        GroupScope& operator=(const GroupScope&) = delete;

      private:
        EventLoop& loop_;
        uint32_t outer_;
    };

    // Runs every action due up to `until`, in order; time then stands at `until`.
    void RunUntil(TimeUs until);
    // Runs actions in order until `done` holds after one of them, or time reaches `until`.
    // Time stands at the instant of the action that made `done` true. Returns done().
    bool RunUntil(TimeUs until, const std::function<bool()>& done);
    // Runs the next due action if it is due by `until`; false when none is.
    bool RunNext(TimeUs until);

    std::optional<TimeUs> NextEventTime();
    // Called before time moves forward to `to`: a pacer that waits until as much real time has
    // passed runs the simulation in real time. None by default: virtual time jumps.
    using Pacer = std::function<void(TimeUs to)>;
    void SetPacer(Pacer pacer) { pacer_ = std::move(pacer); }

    // Sets the time directly (the real-time server follows the wall clock). Never backwards.
    void SetNow(TimeUs now) {
        if (now > now_) now_ = now;
    }

  private:
    struct Entry {
        TimeUs when;
        uint64_t seq;
        uint64_t id;
        bool operator>(const Entry& o) const {
            return when != o.when ? when > o.when : seq > o.seq;
        }
    };
    void DropCancelled();
    void MoveTo(TimeUs when);

    TimeUs now_ = 0;
    Pacer pacer_;
    uint64_t nextSeq_ = 0;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> queue_;
    // id -> action; a hash map, since a long reply puts thousands of bytes on the line at once
    // and each leaves it in its own order.
    std::unordered_map<uint64_t, Action> actions_;
    uint32_t groups_ = 0;
    uint32_t current_ = 0;
    std::map<uint32_t, uint64_t> dropped_;  // group -> times dropped
};

}  // namespace korrsim
