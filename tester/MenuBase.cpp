#include "MenuBase.h"

#include <cstdio>

#include "TestReport.h"

namespace {

constexpr int kExitKey = 'x';

}  // namespace

CMenuBase::CMenuBase(CTestReport& report) : report_(report) {}

CMenuBase::~CMenuBase() = default;

void CMenuBase::Show() {
  std::FILE* out = report_.Out();
  PrintDashLine(out);
  for (const Entry& entry : entries_) std::fprintf(out, "%c: %s\n", entry.key, entry.title.c_str());
  std::fputs("----------------\nx: exit\n\npress a key", out);
  std::fflush(out);
}

CMenuBase* CMenuBase::Select(int key) {
  if (key == kExitKey) return nullptr;
  PrintDashLine(report_.Out());
  CMenuBase* target = this;
  RunKey(key, &target);
  return target;
}

void CMenuBase::AddSwitch(char key, const std::string& title, CMenuBase* target) {
  entries_.push_back(Entry{key, title, nullptr, target});
}

void CMenuBase::AddTest(char key, const std::string& title, TestOperation test) {
  entries_.push_back(Entry{key, title, std::move(test), this});
}

bool CMenuBase::RunKey(int key, CMenuBase** target) {
  const Entry* entry = FindEntry(key);
  if (!entry) return false;
  // The entry list does not change while a test runs, but copy what is needed
  // first so that a test cannot pull the entry from under us.
  TestOperation test = entry->test;
  CMenuBase* next = entry->target;
  if (test) test();
  std::fflush(report_.Out());
  if (target) *target = next;
  return true;
}

const CMenuBase::Entry* CMenuBase::FindEntry(int key) const {
  for (const Entry& entry : entries_) {
    if (static_cast<unsigned char>(entry.key) == key) return &entry;
  }
  return nullptr;
}
