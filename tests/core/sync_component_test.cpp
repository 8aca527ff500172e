#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "core/component.h"
#include "core/sync.h"

TEST(Sleep, WaitsAtLeastTheGivenTime) {
  auto start = std::chrono::steady_clock::now();
  Sleep(30);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

TEST(CriticalSection, SerializesThreadsAndIsReentrant) {
  TCriticalSection cs;
  long counter = 0;
  auto work = [&] {
    for (int i = 0; i < 20000; ++i) {
      std::lock_guard<TCriticalSection> guard(cs);
      cs.Enter();  // the holder may enter again
      long v = counter;
      counter = v + 1;
      cs.Leave();
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_EQ(counter, 40000);

  cs.Enter();
  bool otherGotIt = true;
  std::thread c([&] { otherGotIt = cs.TryEnter(); });
  c.join();
  EXPECT_FALSE(otherGotIt);
  cs.Leave();
}

namespace {

struct Tracked : TComponent {
  Tracked(TComponent* owner, std::vector<std::string>* log, const std::string& name)
      : TComponent(owner), log_(log) {
    SetName(name);
  }
  ~Tracked() override { log_->push_back(Name()); }
  std::vector<std::string>* log_;
};

}  // namespace

TEST(Component, OwnerFreesItsChildrenLastInsertedFirst) {
  std::vector<std::string> freed;
  auto* root = new Tracked(nullptr, &freed, "root");
  new Tracked(root, &freed, "first");
  auto* second = new Tracked(root, &freed, "Second");
  new Tracked(second, &freed, "grandchild");
  EXPECT_EQ(root->ComponentCount(), 2);
  EXPECT_EQ(second->ComponentIndex(), 1);
  EXPECT_EQ(root->FindComponent("SECOND"), second);
  EXPECT_EQ(root->FindComponent("grandchild"), nullptr);  // only direct children
  delete root;
  // A derived destructor body runs before the base frees the children.
  EXPECT_EQ(freed, (std::vector<std::string>{"root", "Second", "grandchild", "first"}));
}

TEST(Component, ChildFreedAloneLeavesItsOwnerAndCanChangeOwner) {
  std::vector<std::string> freed;
  Tracked a(nullptr, &freed, "a");
  Tracked b(nullptr, &freed, "b");
  auto* child = new Tracked(&a, &freed, "child");
  b.InsertComponent(child);
  EXPECT_EQ(a.ComponentCount(), 0);
  EXPECT_EQ(child->Owner(), &b);
  delete child;
  EXPECT_EQ(b.ComponentCount(), 0);
  EXPECT_EQ(freed, std::vector<std::string>{"child"});
}

TEST(Component, NamesAreComparedWithoutLetterCase) {
  EXPECT_TRUE(SameNameIgnoringCase("Wheels", "wHEELS"));
  EXPECT_FALSE(SameNameIgnoringCase("wheel", "wheels"));
  EXPECT_TRUE(SameNameIgnoringCase("", ""));
}
