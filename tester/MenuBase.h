// Base of the two test menus: an ordered list of entries, each a key, a title,
// a test to run (or none) and the menu to continue with.
#pragma once

#include <functional>
#include <string>
#include <vector>

class CTestReport;

class CMenuBase {
 public:
  using TestOperation = std::function<void()>;

  struct Entry {
    char key;
    std::string title;
    TestOperation test;
    CMenuBase* target;
  };

  explicit CMenuBase(CTestReport& report);
  virtual ~CMenuBase();
  CMenuBase(const CMenuBase&) = delete;
  CMenuBase& operator=(const CMenuBase&) = delete;

  // Adds the menu's tests behind the entries already present.
  virtual void FillEntries() = 0;
  // Prints the entries and the exit line.
  virtual void Show();
  // Runs the entry for key; answers the menu to continue with, or null to end.
  virtual CMenuBase* Select(int key);

  // Adds an entry that switches to another menu without running anything.
  void AddSwitch(char key, const std::string& title, CMenuBase* target);
  // Adds a test that returns to this menu.
  void AddTest(char key, const std::string& title, TestOperation test);
  // Runs the test of the first entry with key; false when there is none.
  // Answers the entry's target menu through target when given.
  bool RunKey(int key, CMenuBase** target = nullptr);

  const std::vector<Entry>& Entries() const { return entries_; }
  CTestReport& Report() const { return report_; }

 private:
  const Entry* FindEntry(int key) const;

  std::vector<Entry> entries_;
  CTestReport& report_;
};
