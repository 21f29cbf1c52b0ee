#pragma once
// Persistent setting objects: a value bound to one section and key of the settings file. The
// constructor reads the value (or the default); Save writes it back, and the destructor saves,
// so an object that lives as long as its owner writes its value when the owner goes away.
// Code reads and changes `value` as an ordinary field.
#include <charconv>
#include <string>
#include <string_view>

#include "packet/ax25_address.h"
#include "platform/files/settings_store.h"

namespace vexa::app {

class CProfileSetting {
 public:
  CProfileSetting(platform::SettingsStore& store, std::string section, std::string key)
      : store_(&store), section_(std::move(section)), key_(std::move(key)) {}
  virtual ~CProfileSetting() = default;
  CProfileSetting(const CProfileSetting&) = delete;
  CProfileSetting& operator=(const CProfileSetting&) = delete;

  // Writes the current value; returns 0 or the store's error code.
  [[nodiscard]] virtual int Save() = 0;
  // Reads the value again from the file.
  virtual void Load() = 0;
  // The value as it is stored, and a new value from that form (false: not a valid value, the
  // old one stays).
  virtual std::string Text() const = 0;
  virtual bool SetText(std::string_view text) = 0;

  const std::string& section() const { return section_; }
  const std::string& key() const { return key_; }

 protected:
  platform::SettingsStore* store_;
  std::string section_;
  std::string key_;
};

class CProfileInt final : public CProfileSetting {
 public:
  CProfileInt(platform::SettingsStore& store, std::string section, std::string key, int dflt)
      : CProfileSetting(store, std::move(section), std::move(key)), default_(dflt) {
    Load();
  }
  ~CProfileInt() override { (void)Save(); }
  int Save() override { return store_->WriteSettingInt(section_, key_, value); }
  void Load() override { value = store_->ReadSettingInt(section_, key_, default_); }
  std::string Text() const override { return std::to_string(value); }
  bool SetText(std::string_view text) override {
    int v = 0;
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, v);
    if (text.empty() || r.ec != std::errc() || r.ptr != end) return false;
    value = v;
    return true;
  }
  operator int() const { return value; }
  CProfileInt& operator=(int v) {
    value = v;
    return *this;
  }

  int value = 0;

 private:
  int default_;
};

class CProfileString final : public CProfileSetting {
 public:
  CProfileString(platform::SettingsStore& store, std::string section, std::string key,
                 std::string dflt)
      : CProfileSetting(store, std::move(section), std::move(key)), default_(std::move(dflt)) {
    Load();
  }
  ~CProfileString() override { (void)Save(); }
  int Save() override { return store_->WriteSettingText(section_, key_, value); }
  void Load() override { value = store_->ReadSettingText(section_, key_, default_); }
  std::string Text() const override { return value; }
  bool SetText(std::string_view text) override {
    value = std::string(text);
    return true;
  }

  std::string value;

 private:
  std::string default_;
};

// A list of callsigns stored as text: each callsign ("CALL" or "CALL-SSID") followed by one
// space. Reading stops at the first token that does not parse or does not fit, keeping the
// entries read before it.
class CProfileCallList final : public CProfileSetting {
 public:
  CProfileCallList(platform::SettingsStore& store, std::string section, std::string key,
                   int capacity, std::string dfltText)
      : CProfileSetting(store, std::move(section), std::move(key)),
        value(capacity),
        default_(std::move(dfltText)) {
    Load();
  }
  ~CProfileCallList() override { (void)Save(); }
  int Save() override {
    return store_->WriteSettingText(section_, key_, packet::FormatCallsignList(value));
  }
  void Load() override {
    (void)packet::ParseCallsignList(store_->ReadSettingText(section_, key_, default_), value);
  }
  std::string Text() const override { return packet::FormatCallsignList(value); }
  bool SetText(std::string_view text) override {
    packet::Ax25AddressList list(value.capacity());
    if (packet::ParseCallsignList(text, list) < 0) return false;
    value = list;
    return true;
  }

  packet::Ax25AddressList value;

 private:
  std::string default_;
};

}  // namespace vexa::app
