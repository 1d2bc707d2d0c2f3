// Pins the name index of DirectoryNode (ChildIndex) against plain walks of the child list
// written here: add(), findDirectory(), findFile(), findChild(), remove() and TreeSearcher
// must answer as the walks do after every kind of change, the index's own and those made
// behind its back. (A wide directory is looked up through paths in LimitsTest.)
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "DirectoryNode.h"
#include "FileNode.h"
#include "TreeSearcher.h"
#include "TreeTestSupport.h"

namespace vesk {
namespace {

using List = DirectoryNode::List;

List& listOf(DirectoryNode& directory) {
  return directory;
}

// The walk of add(): where a node of that kind and name goes, and the name it ends with.
std::pair<TreeNode*, std::string> walkedPlace(DirectoryNode& directory, bool isDirectory,
                                              FileString name) {
  List& list = listOf(directory);
  for (;;) {
    auto at = list.begin();
    while (!isDirectory && at != list.end() && (*at)->directory() != nullptr) {
      ++at;
    }
    while (at != list.end() && ((*at)->directory() != nullptr) == isDirectory &&
           ((*at)->deleted() || (*at)->name() < name)) {
      ++at;
    }
    if (at == list.end() || !((*at)->name() == name)) {
      return {at == list.end() ? nullptr : at->get(), name.str()};
    }
    name.increment();
  }
}

// The first live child of that name and kind (any kind when `kind` is 0), behind `after`.
TreeNode* walkedFind(DirectoryNode& directory, const FileString& name, int kind,
                     TreeNode* after = nullptr) {
  List& list = listOf(directory);
  auto at = list.begin();
  if (after != nullptr) {
    while (at != list.end() && at->get() != after) {
      ++at;
    }
    if (at != list.end()) {
      ++at;
    }
  }
  for (; at != list.end(); ++at) {
    const bool isDirectory = (*at)->directory() != nullptr;
    if (!(*at)->deleted() && (*at)->name() == name && (kind == 0 || (kind == 1) == isDirectory)) {
      return at->get();
    }
  }
  return nullptr;
}

class Names {
 public:
  explicit Names(std::mt19937& random) : random_(random) {}
  // Few stems in several cases and with counters, so that adds clash and rename.
  std::string any() {
    static const char* const stems[] = {"a",         "B",    "img", "Readme.txt",
                                        "\xE9t\xE9", "x(1)", "",    "Long_shared_stem_of_a_name"};
    std::string name = stems[random_() % std::size(stems)] + std::to_string(random_() % 40);
    for (char& c : name) {
      if (random_() % 3 == 0) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      }
    }
    return random_() % 5 == 0 ? name + "(" + std::to_string(random_() % 3) + ")" : name;
  }

 private:
  std::mt19937& random_;
};

TreeNode* newNode(DirectoryNode& directory, bool isDirectory, const std::string& name) {
  if (isDirectory) {
    return new DirectoryNode(name, &directory);
  }
  return new FileNode(name, &directory, 1, TimeDate());
}

TreeNode* anyChild(DirectoryNode& directory, std::mt19937& random) {
  if (directory.empty()) {
    return nullptr;
  }
  return std::next(directory.List::begin(), random() % directory.size())->get();
}

void addAndCheck(DirectoryNode& directory, bool isDirectory, const std::string& name) {
  const auto [next, finalName] = walkedPlace(directory, isDirectory, name);
  TreeNode* added = directory.add(newNode(directory, isDirectory, name));
  ASSERT_EQ(added->name().str(), finalName);
  auto at = listOf(directory).begin();
  while (at->get() != added) {
    ++at;
  }
  ++at;
  ASSERT_EQ(at == listOf(directory).end() ? nullptr : at->get(), next) << "added " << name;
}

// A file named to sort behind every name Names makes, so that the list keeps add()'s order.
TreeNode* lastFile(DirectoryNode& directory) {
  static unsigned counter = 0;
  char name[16];
  std::snprintf(name, sizeof name, "~%06u", ++counter);
  return newNode(directory, false, name);
}

bool endsWithFile(DirectoryNode& directory) {
  return !directory.empty() && directory.List::back()->directory() == nullptr;
}

// One change of any kind, through add() or behind the index's back. A tidy change keeps the
// list in add()'s order, so that the index stays in use and must follow it.
void changeAtRandom(std::unique_ptr<DirectoryNode>& directory, std::mt19937& random, Names& names,
                    bool tidy) {
  DirectoryNode& d = *directory;
  TreeNode* child = anyChild(d, random);
  switch (random() % 20) {
    case 0:
      if (child != nullptr)
        d.remove(child);
      return;
    case 1:
      if (child != nullptr)
        child->deleted(!child->deleted());
      return;
    case 2:  // a tidy rename keeps the child's place: nothing orders between the two names
      if (child != nullptr && random() % 4 == 0)
        child->name(tidy ? child->name().str() + "\x01" : names.any());
      return;
    case 3:
      d.push_back(
          SmartPointer<TreeNode>(tidy ? lastFile(d) : newNode(d, random() % 2 == 0, names.any())));
      return;
    case 4:  // behind its back, but the list's size tells
      listOf(d).push_back(
          SmartPointer<TreeNode>(tidy ? lastFile(d) : newNode(d, false, names.any())));
      return;
    case 5:
      if (child != nullptr && random() % 2 == 0)
        d.erase(std::next(d.List::begin(), 0));
      return;
    case 6:  // the same size: only the telling tells
      if (!d.empty() && (!tidy || endsWithFile(d))) {
        *std::prev(d.List::end()) =
            SmartPointer<TreeNode>(tidy ? lastFile(d) : newNode(d, false, names.any()));
        d.childrenChanged();
      }
      return;
    case 7:
      if (tidy) {
        List more;
        more.push_back(SmartPointer<TreeNode>(lastFile(d)));
        d.splice(d.List::end(), more);
      } else if (d.size() > 1) {
        d.splice(d.List::begin(), d, std::prev(d.List::end()));
      }
      return;
    case 8:
      if (random() % 8 == 0)
        directory.reset(static_cast<DirectoryNode*>(d.clone(nullptr)));
      return;
    case 9:
      if (random() % 8 == 0) {
        auto back = std::make_unique<DirectoryNode>();
        test::roundTrip(d, *back);
        directory = std::move(back);
      }
      return;
    default:
      addAndCheck(d, random() % 3 == 0, names.any());
  }
}

void checkLookup(DirectoryNode& directory, const FileString& name) {
  ASSERT_EQ(directory.findDirectory(name), walkedFind(directory, name, 1)) << name;
  ASSERT_EQ(directory.findFile(name), walkedFind(directory, name, 2)) << name;
  TreeNode* first = walkedFind(directory, name, 0);
  ASSERT_EQ(directory.findChild(name, nullptr), first) << name;
  TreeSearcher searcher(directory.name().str() + "/" + name.str(), &directory);
  ASSERT_EQ(searcher.first(), first);
  ASSERT_EQ(searcher.next(), walkedFind(directory, name, 0, first)) << name;
}

// Names Names makes, and names of children there are, whose answers a stale index gets wrong.
void checkLookups(DirectoryNode& directory, Names& names, std::mt19937& random) {
  for (int probe = 0; probe < 12; ++probe) {
    ASSERT_NO_FATAL_FAILURE(checkLookup(directory, names.any()));
    if (TreeNode* child = anyChild(directory, random)) {
      ASSERT_NO_FATAL_FAILURE(checkLookup(directory, child->name()));
    }
  }
}

TEST(ChildIndexTest, AnswersAsTheWalksOfTheListAfterEveryKindOfChange) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    std::mt19937 random(seed);
    Names names(random);
    auto directory = std::make_unique<DirectoryNode>("top", nullptr);
    const bool orderKept = seed % 3 == 0;  // only add() and remove(): the index stays in use
    const bool tidy = seed % 3 == 1;
    for (int step = 0; step < 600; ++step) {
      if (orderKept) {
        TreeNode* child = anyChild(*directory, random);
        if (random() % 6 == 0 && child != nullptr) {
          directory->remove(child);
        } else {
          ASSERT_NO_FATAL_FAILURE(addAndCheck(*directory, random() % 3 == 0, names.any()));
        }
      } else {
        ASSERT_NO_FATAL_FAILURE(changeAtRandom(directory, random, names, tidy));
      }
      ASSERT_NO_FATAL_FAILURE(checkLookups(*directory, names, random))
          << "seed " << seed << " step " << step;
    }
  }
}

// Six runs of 128 names added in order, each run sharing a prefix of its own of 1 to 24
// bytes, around the 8 and 16 that the index compares in integers. A name that orders between
// two runs but leaves the later run's prefix at any byte, matching the bytes before it in
// another case, must go in front of that run.
TEST(ChildIndexTest, PlacesNamesThatLeaveTheSharedPrefixOfTheNextNames) {
  const std::string letters = "cdefghijklmnopqrstuvwxyz";
  for (std::size_t shared = 1; shared <= letters.size(); ++shared) {
    DirectoryNode directory("top", nullptr);
    std::vector<std::string> prefixes;
    for (char first = 'c'; first < 'o'; first = static_cast<char>(first + 2)) {
      prefixes.push_back(first + letters.substr(1, shared - 1));
      for (int number = 0; number < 128; ++number) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%03d", number);
        directory.add(newNode(directory, false, prefixes.back() + digits));
      }
    }
    for (std::size_t leaves = shared; leaves-- > 0;) {
      for (const std::string& prefix : prefixes) {
        std::string name = prefix.substr(0, leaves);
        for (char& c : name) {
          c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        name += static_cast<char>(prefix[leaves] - 1);
        ASSERT_NO_FATAL_FAILURE(addAndCheck(directory, false, name + "~")) << shared;
      }
    }
  }
}

}  // namespace
}  // namespace vesk
