// An update of an application takes the earlier build's folder over: the new build's exact
// files, written only where they changed, and the earlier folder gone; and where it must not.
#include <cstring>
#include <map>
#include <set>

#include "tests/builds/build_folders.h"

namespace {

using namespace builds_test;

// Every file below folder with its bytes, by its name relative to folder.
std::map<std::wstring, std::string> tree(const std::wstring& folder) {
  std::map<std::wstring, std::string> files;
  for_each_file(folder, [&](const std::wstring& name, const WIN32_FIND_DATAW&) {
    files[name] = read_file(folder + name);
  });
  return files;
}

std::map<std::wstring, std::string> packed_tree(const std::wstring& build) {
  return tree(this_program_directory() + L"\\builds\\app-" + build);
}

class Takeover : public Builds {
 protected:
  std::wstring trace_file() const { return shared.path + L"\\bin\\trace.txt"; }
  // Starts the launcher at path (the usual one when empty) with a trace of its own.
  std::string traced_run(const std::wstring& path = L"", DWORD status = 0) {
    DeleteFileW(trace_file().c_str());
    EXPECT_EQ(finish(start({{L"KOVRAN_ONEFILE_TRACE", trace_file()}}, path)), status);
    return read_file(trace_file());
  }
  // The takeover notes there are, each by its name and last write.
  std::set<std::pair<std::wstring, uint64_t>> takings() const {
    std::set<std::pair<std::wstring, uint64_t>> notes;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((root() + L"\\*.taking").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return notes;
    do {
      uint64_t written = (uint64_t{found.ftLastWriteTime.dwHighDateTime} << 32) |
                         found.ftLastWriteTime.dwLowDateTime;
      notes.insert({found.cFileName, written});
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return notes;
  }
  // The one build folder there is, or empty.
  std::wstring only_folder() const {
    std::vector<std::wstring> all = folders();
    return all.size() == 1 ? all[0] : L"";
  }
};

bool took_over(const std::string& trace) {
  return trace.find("took over build main-") != std::string::npos;
}

// Under either rule the new build's files are exact: one changed in size, one changed at the
// same size, some added, some removed, in nested folders, and files the program made in the
// folder go too, wherever they lie. Only what changed is written. Put back, the first launcher
// takes its build back the same way.
TEST_F(Takeover, AnUpdateInPlaceTakesTheEarlierFolderOverExactly) {
  for (std::wstring rule : {L"stamp", L"crc"}) {
    SCOPED_TRACE(narrow_utf8(rule));
    remove_tree(root());
    install(L"u1-" + rule);
    ASSERT_EQ(run(), 0u);
    std::wstring first = only_folder();
    ASSERT_FALSE(first.empty());
    // Made by the program: beside the main program, among many of the build's files, and in a
    // folder that the new build has only folders in.
    CreateDirectoryW((root() + L"\\" + first + L"\\added").c_str(), nullptr);
    CreateDirectoryW((root() + L"\\" + first + L"\\added\\deep").c_str(), nullptr);
    for (const wchar_t* made : {L"made-by-the-program.log", L"lib\\sub\\made.log",
                                L"added\\made.log", L"added\\deep\\made.log"}) {
      write_file(root() + L"\\" + first + L"\\" + made, "log");
    }

    install(L"u2-" + rule);
    std::string trace = traced_run();
    EXPECT_TRUE(took_over(trace)) << trace;
    std::wstring second = only_folder();
    ASSERT_FALSE(second.empty());
    EXPECT_NE(second, first);
    EXPECT_FALSE(file_exists(marker(first)));
    EXPECT_EQ(tree(root() + L"\\" + second), packed_tree(L"u2-" + rule));
    // data.txt, fixed.bin and the added file; the rest kept.
    EXPECT_NE(trace.find("files: 62 kept, 1 written, 2 repaired"), std::string::npos) << trace;
    EXPECT_NE(trace.find("takeover: 6 files removed"), std::string::npos) << trace;

    // A later start of the new build writes nothing and takes nothing over.
    trace = traced_run();
    EXPECT_FALSE(took_over(trace)) << trace;
    EXPECT_NE(trace.find(" 0 written, 0 repaired"), std::string::npos) << trace;

    install(L"u1-" + rule);
    EXPECT_TRUE(took_over(traced_run()));
    EXPECT_EQ(only_folder(), first);
    EXPECT_EQ(tree(root() + L"\\" + first), packed_tree(L"u1-" + rule));
  }
}

// Under the stamp rule the files an update keeps are kept by the earlier build's record of
// what it stamped, unread; a record missing, damaged or of another build keeps nothing, and
// every file is read for its CRC-32 instead. Either way the folder is exact, and the next
// start of the new build decodes nothing.
TEST_F(Takeover, TheEarlierBuildsRecordKeepsFilesWithoutReadingThemOnlyWhenItHoldsTogether) {
  enum class Record { whole, missing, damaged, another_builds };
  for (Record record : {Record::whole, Record::missing, Record::damaged, Record::another_builds}) {
    SCOPED_TRACE(static_cast<int>(record));
    remove_tree(root());
    install(L"u2-stamp");
    ASSERT_EQ(run(), 0u);
    std::wstring another = only_folder();
    std::string another_record = read_file(root() + L"\\" + another + L".files");
    ASSERT_FALSE(another_record.empty());
    remove_tree(root());
    install(L"u1-stamp");
    ASSERT_EQ(run(), 0u);
    std::wstring path = root() + L"\\" + only_folder() + L".files";
    std::string bytes = read_file(path);
    ASSERT_FALSE(bytes.empty());
    if (record == Record::missing) {
      ASSERT_TRUE(DeleteFileW(path.c_str()));
    }
    if (record == Record::damaged) {
      bytes[bytes.size() / 2] ^= 1;
      write_file(path, bytes);
    }
    if (record == Record::another_builds) write_file(path, another_record);

    install(L"u2-stamp");
    std::string trace = traced_run();
    EXPECT_TRUE(took_over(trace)) << trace;
    std::string listed = record == Record::whole ? "listing: 62 of 65" : "listing: 0 of 65";
    EXPECT_NE(trace.find(listed), std::string::npos) << trace;
    EXPECT_NE(trace.find("files: 62 kept, 1 written, 2 repaired"), std::string::npos) << trace;
    EXPECT_EQ(tree(root() + L"\\" + only_folder()), packed_tree(L"u2-stamp"));
    trace = traced_run();
    EXPECT_NE(trace.find("listing: every file current"), std::string::npos) << trace;
  }
}

// app-1.exe started, deleted, app-2.exe started: the build of a launcher that is gone is
// taken over.
TEST_F(Takeover, TheBuildOfAVersionedLauncherThatIsGoneIsTakenOver) {
  std::wstring one = shared.path + L"\\bin\\app-1.exe", two = shared.path + L"\\bin\\app-2.exe";
  ASSERT_TRUE(CopyFileW(packed(L"u1-stamp").c_str(), one.c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(packed(L"u2-stamp").c_str(), two.c_str(), FALSE));
  ASSERT_EQ(finish(start({}, one)), 0u);
  ASSERT_TRUE(DeleteFileW(one.c_str()));
  EXPECT_TRUE(took_over(traced_run(two)));
  ASSERT_FALSE(only_folder().empty());
  EXPECT_EQ(tree(root() + L"\\" + only_folder()), packed_tree(L"u2-stamp"));
}

// A first start as before, with the earlier build left whole: when it is in use, when the new
// launcher keeps every build, when the earlier launcher still exists at another path (two
// versions side by side), and when its marker cannot be read.
TEST_F(Takeover, NothingIsTakenOverThatMayStillBeWanted) {
  enum class Case { in_use, never, side_by_side, unreadable_marker };
  for (Case c : {Case::in_use, Case::never, Case::side_by_side, Case::unreadable_marker}) {
    SCOPED_TRACE(static_cast<int>(c));
    remove_tree(root());
    std::wstring side = shared.path + L"\\bin\\side.exe";
    DeleteFileW(side.c_str());
    std::wstring first_launcher = c == Case::side_by_side ? side : launcher();
    if (c == Case::side_by_side) {
      ASSERT_TRUE(CopyFileW(packed(L"u1-stamp").c_str(), side.c_str(), FALSE));
    } else {
      install(L"u1-stamp");
    }
    HANDLE running = nullptr;
    if (c == Case::in_use) {
      running = start({{L"PROBE_SLEEP_MS", L"4000"}}, first_launcher);
      wait_for_program();
    } else {
      ASSERT_EQ(finish(start({}, first_launcher)), 0u);
    }
    std::wstring first = only_folder();
    ASSERT_FALSE(first.empty());
    if (c == Case::unreadable_marker) write_file(marker(first), "");
    install(c == Case::never ? L"u2-never" : L"u2-stamp");
    std::string trace = traced_run();
    EXPECT_FALSE(took_over(trace)) << trace;
    EXPECT_EQ(folders().size(), 2u);
    EXPECT_EQ(tree(root() + L"\\" + first), packed_tree(L"u1-stamp"));
    if (running != nullptr) {
      EXPECT_EQ(finish(running), 0u);
    }
    // Started in turn, each keeps its own build.
    if (c == Case::side_by_side) {
      EXPECT_FALSE(took_over(traced_run(side)));
      EXPECT_FALSE(took_over(traced_run()));
      EXPECT_EQ(folders().size(), 2u);
    }
  }
}

// A takeover killed at any moment, or by an archive found damaged, leaves a folder that the
// next intact start makes exact, with nothing trusted that is not the build's.
TEST_F(Takeover, ATakeoverCutShortIsPutRightByTheNextStart) {
  for (int round = 0; round < 8; ++round) {
    SCOPED_TRACE(round);
    std::wstring from = round % 2 == 0 ? L"u1-stamp" : L"u2-stamp";
    std::wstring to = round % 2 == 0 ? L"u2-stamp" : L"u1-stamp";
    install(from);
    ASSERT_EQ(run(), 0u);
    install(to);
    // Once the launcher runs (its trace has begun: killed before it has started, a process
    // under Wine may never end, and holds the test's output open) and from the moment it
    // notes its takeover (a note an earlier round left does not count), at a later moment each
    // round. A busy machine may start it late.
    auto earlier_notes = takings();
    std::wstring killed_trace = shared.path + L"\\bin\\killed-trace.txt";
    DeleteFileW(killed_trace.c_str());
    HANDLE killed = start({{L"KOVRAN_ONEFILE_TRACE", killed_trace}});
    for (int i = 0; i < 6000 && read_file(killed_trace).find(" start ") == std::string::npos; ++i) {
      Sleep(10);
    }
    for (int i = 0; i < 5000 && takings() == earlier_notes; ++i) Sleep(1);
    Sleep(static_cast<DWORD>(round * 23 % 150));
    TerminateProcess(killed, 9);
    finish(killed);
    EXPECT_TRUE(traced_run().find("files: ") != std::string::npos);
    ASSERT_FALSE(only_folder().empty()) << "the earlier build is gone or taken over";
    EXPECT_EQ(tree(root() + L"\\" + only_folder()), packed_tree(to));
  }
}

// A takeover that fails, here on an archive found damaged after most files were decided
// on, leaves no folder: nothing in it can be trusted by a later start, and the next intact
// start unpacks anew, exactly. So does one that meets a file where the new build has a
// folder: that start fails, the next one does not.
TEST_F(Takeover, AFailedTakeoverLeavesNoFolderAndTheNextStartUnpacksAnew) {
  install(L"u1-stamp");
  ASSERT_EQ(run(), 0u);
  // A byte of the frame's last block: the block ends in zero fill and a trailer that holds
  // its own offset in the block.
  std::string damaged = read_file(packed(L"u2-stamp"));
  size_t block = damaged.find(std::string("QVJ\x28\xb5\x2f\xfd", 7));
  ASSERT_NE(block, std::string::npos);
  size_t trailer = block + 8;
  for (; trailer + 8 <= damaged.size(); ++trailer) {
    uint64_t value;
    memcpy(&value, damaged.data() + trailer, 8);
    if (value == trailer - block && damaged[trailer - 1] == 0) break;
  }
  size_t frame_end = trailer;
  while (frame_end > block && damaged[frame_end - 1] == 0) --frame_end;
  ASSERT_GT(frame_end, block + 1000);
  damaged[frame_end - 600] ^= 0x55;
  MoveFileExW(launcher().c_str(), (shared.path + L"\\bin\\aside.exe").c_str(), 0);
  write_file(launcher(), damaged);
  std::string trace = traced_run(L"", 2);
  EXPECT_TRUE(took_over(trace)) << trace;
  EXPECT_TRUE(folders().empty());

  install(L"u2-stamp");
  trace = traced_run();
  EXPECT_FALSE(took_over(trace)) << trace;
  EXPECT_EQ(tree(root() + L"\\" + only_folder()), packed_tree(L"u2-stamp"));

  remove_tree(root());
  install(L"k1");
  ASSERT_EQ(run(), 0u);
  install(L"k2");
  EXPECT_EQ(finish(start()), 2u);
  EXPECT_TRUE(folders().empty());
  EXPECT_EQ(run(), 0u);
  EXPECT_EQ(tree(root() + L"\\" + only_folder()), packed_tree(L"k2"));
}

// Two starts of the new build at once take turns: one takes the folder over, the other finds
// it; both run, and the folder is exact.
TEST_F(Takeover, TwoStartsOfTheNewBuildAtOnceTakeTurns) {
  install(L"u1-crc");
  ASSERT_EQ(run(), 0u);
  install(L"u2-crc");
  HANDLE one = start();
  HANDLE two = start();
  EXPECT_EQ(finish(one), 0u);
  EXPECT_EQ(finish(two), 0u);
  ASSERT_FALSE(only_folder().empty());
  EXPECT_EQ(tree(root() + L"\\" + only_folder()), packed_tree(L"u2-crc"));
}

// A start of the earlier build while the new one takes it over: whichever takes the marker
// first, both run, and each folder there is holds its own build exactly.
TEST_F(Takeover, AStartOfTheEarlierBuildDuringATakeoverKeepsItsBuildOrUnpacksAnew) {
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    remove_tree(root());
    install(L"u1-stamp");
    ASSERT_EQ(run(), 0u);
    std::wstring first = only_folder();
    install(L"u2-stamp");
    std::wstring earlier = shared.path + L"\\bin\\old-" + std::to_wstring(installs - 1) + L".exe";
    HANDLE updating = start();
    Sleep(static_cast<DWORD>(round * 60));
    HANDLE old = start({}, earlier);
    EXPECT_EQ(finish(updating), 0u);
    EXPECT_EQ(finish(old), 0u);
    for (const auto& folder : folders()) {
      EXPECT_EQ(tree(root() + L"\\" + folder),
                packed_tree(folder == first ? L"u1-stamp" : L"u2-stamp"))
          << narrow_utf8(folder);
    }
    EXPECT_TRUE(exists(first));
  }
}

}  // namespace
