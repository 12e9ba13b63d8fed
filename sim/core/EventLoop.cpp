#include "core/EventLoop.h"

namespace korrsim {

uint64_t EventLoop::At(TimeUs when, Action action) {
    if (when < now_) when = now_;
    if (current_ != 0) {
        action = [this, group = current_, drops = dropped_[current_], inner = std::move(action)] {
            if (dropped_[group] != drops) return;
            GroupScope scope(*this, group);
            inner();
        };
    }
    uint64_t id = ++nextSeq_;
    queue_.push(Entry{.when = when, .seq = id, .id = id});
    actions_.emplace(id, std::move(action));
    return id;
}

void EventLoop::Cancel(uint64_t id) {
    actions_.erase(id);
}

void EventLoop::DropCancelled() {
    while (!queue_.empty()) {
        if (actions_.count(queue_.top().id) != 0) return;
        queue_.pop();
    }
}

std::optional<TimeUs> EventLoop::NextEventTime() {
    DropCancelled();
    if (queue_.empty()) return std::nullopt;
    return queue_.top().when;
}

void EventLoop::MoveTo(TimeUs when) {
    if (when <= now_) return;
    if (pacer_) pacer_(when);
    now_ = when;
}

bool EventLoop::RunNext(TimeUs until) {
    DropCancelled();
    if (queue_.empty() || queue_.top().when > until) return false;
    Entry e = queue_.top();
    queue_.pop();
    auto it = actions_.find(e.id);
    Action action = std::move(it->second);
    actions_.erase(it);
    MoveTo(e.when);
    action();
    return true;
}

void EventLoop::RunUntil(TimeUs until) {
    while (RunNext(until)) {
    }
    MoveTo(until);
}

bool EventLoop::RunUntil(TimeUs until, const std::function<bool()>& done) {
    if (done()) return true;
    while (RunNext(until)) {
        if (done()) return true;
    }
    MoveTo(until);
    return done();
}

}  // namespace korrsim
