#pragma once
// The settings a device keeps by key ("get -sn", "set -sn ABC"): which keys it knows and their
// current text. A device that does not know a key answers "ERROR".

#include <map>
#include <string>
#include <vector>

namespace korrsim {

class SettingsStore {
  public:
    // Makes a key known with its value (a known key keeps its place and takes the value).
    void Define(const std::string& key, std::string value) { values_[key] = std::move(value); }
    void Forget(const std::string& key) { values_.erase(key); }
    bool Knows(const std::string& key) const { return values_.count(key) != 0; }
    // The value of a known key; empty for an unknown one.
    std::string Get(const std::string& key) const {
        auto it = values_.find(key);
        return it == values_.end() ? std::string() : it->second;
    }
    // Stores the value of a known key; false for an unknown one.
    bool Set(const std::string& key, std::string value) {
        auto it = values_.find(key);
        if (it == values_.end()) return false;
        it->second = std::move(value);
        return true;
    }
    std::vector<std::string> Keys() const {
        std::vector<std::string> keys;
        for (const auto& entry : values_) keys.push_back(entry.first);
        return keys;
    }

  private:
    std::map<std::string, std::string> values_;
};

}  // namespace korrsim
