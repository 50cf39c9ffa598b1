// Building blocks of the spooler classes: a reader holds one record and
// shows its fields; a collection lists records, loaded on first use so that
// the objects every rule script creates cost nothing until asked.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <winspool.h>

#include "dispatch.h"
#include "spooler.h"

namespace qzk {

template <typename Record>
class RecordReader : public DispObject {
 public:
  explicit RecordReader(const Record* record) {
    show(record);
    property(L"IsOpen", [this](const Args&, Result& r) { r.boolean(open_); });
  }

 protected:
  // A reader that is not open shows empty texts and zeros.
  void show(const Record* record) {
    record_ = record ? *record : Record();
    open_ = record != nullptr;
  }
  void text(const wchar_t* name, std::wstring Record::*field) {
    property(name, [this, field](const Args&, Result& r) { r.str(record_.*field); });
  }
  void number(const wchar_t* name, DWORD Record::*field) {
    property(name,
             [this, field](const Args&, Result& r) { r.num(static_cast<double>(record_.*field)); });
  }
  void flag(const wchar_t* name, DWORD Record::*field, DWORD mask) {
    property(name, [this, field, mask](const Args&, Result& r) {
      r.boolean((record_.*field & mask) != 0);
    });
  }

  Record record_;
  bool open_ = false;
};

template <typename Record>
class RecordCollection : public DispObject {
 public:
  using Loader = std::function<std::vector<Record>(const std::wstring& argument)>;
  using ItemMaker = std::function<void(const Record* record, Result& r)>;

  // `existsName` names the lookup member, e.g. "DriverExists". `Refresh`
  // takes an optional argument that is handed to the loader (an
  // environment or a printer name).
  RecordCollection(const wchar_t* existsName, Loader loader, ItemMaker makeItem)
      : loader_(std::move(loader)), makeItem_(std::move(makeItem)) {
    property(L"Count",
             [this](const Args&, Result& r) { r.num(static_cast<double>(records().size())); });
    member(L"Item", 1, 1, [this](const Args& a, Result& r) {
      long i = a.num(0);
      const std::vector<Record>& all = records();
      // Out of range gives an empty item rather than a script error.
      makeItem_(i >= 0 && static_cast<size_t>(i) < all.size() ? &all[i] : nullptr, r);
    });
    member(existsName, 1, 1,
           [this](const Args& a, Result& r) { r.boolean(find(a.str(0)) != nullptr); });
    property(L"Names", [this](const Args&, Result& r) {
      std::wstring names;
      for (const Record& rec : records()) {
        if (!names.empty()) names += L'|';
        names += rec.name;
      }
      r.str(names);
    });
    member(L"Refresh", 0, 1, [this](const Args& a, Result& r) {
      reload(a.str(0, argument_));
      r.num(static_cast<double>(records().size()));
    });
  }

 protected:
  const std::vector<Record>& records() {
    if (!loaded_) {
      records_ = loader_(argument_);
      loaded_ = true;
    }
    return records_;
  }
  const Record* find(const std::wstring& name) { return findByName(records(), name); }
  // The next use loads the list anew for `argument`.
  void reload(const std::wstring& argument) {
    argument_ = argument;
    loaded_ = false;
  }

  std::wstring argument_;

 private:
  Loader loader_;
  ItemMaker makeItem_;
  std::vector<Record> records_;
  bool loaded_ = false;
};

}  // namespace qzk
