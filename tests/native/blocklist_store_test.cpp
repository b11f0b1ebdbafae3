// The safe save and the block list commands over a scripted file store that
// can fail at every step.
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <set>

#include "blocklist/BlockListCommands.h"
#include "blocklist/BlockListRules.h"

namespace {

enum class FailAt { Nothing, Create, Write, Flush, Close, Replace };

// Files in memory. A temporary file's bytes reach the map as they are
// written, as they would reach a disk.
class ScriptedStore : public FileStore {
public:
    std::map<std::string, std::string> files;
    std::set<std::string> unreadable;
    FailAt failAt = FailAt::Nothing;
    int openFiles = 0;

    ReadStatus ReadAll(const std::string& path, std::string& bytes, std::string& reason) override {
        bytes.clear();
        if (unreadable.count(path)) {
            reason = "denied";
            return ReadStatus::Failed;
        }
        auto found = files.find(path);
        if (found == files.end()) return ReadStatus::Missing;
        bytes = found->second;
        return ReadStatus::Read;
    }

    std::unique_ptr<WritableFile> CreateTemporary(const std::string& targetPath, std::string& temporaryPath,
                                                  std::string& reason) override {
        if (failAt == FailAt::Create) {
            reason = "no room";
            return nullptr;
        }
        temporaryPath = targetPath + "." + std::to_string(++created_) + ".tmp";
        files[temporaryPath];
        return std::make_unique<File>(*this, temporaryPath);
    }

    bool Replace(const std::string& temporaryPath, const std::string& targetPath, std::string& reason) override {
        EXPECT_EQ(0, openFiles) << "replaced while still open";
        if (failAt == FailAt::Replace) {
            reason = "locked";
            return false;
        }
        files[targetPath] = files[temporaryPath];
        files.erase(temporaryPath);
        return true;
    }

    void Remove(const std::string& path) override {
        EXPECT_EQ(0, openFiles) << "removed while still open";
        files.erase(path);
    }

private:
    class File : public WritableFile {
    public:
        File(ScriptedStore& store, std::string path) : store_(store), path_(std::move(path)) { ++store_.openFiles; }
        ~File() override {
            if (open_) --store_.openFiles;
        }
        bool Write(std::string_view bytes, std::string& reason) override {
            if (store_.failAt == FailAt::Write) {
                // A full disk takes part of the bytes before it fails.
                store_.files[path_] += bytes.substr(0, bytes.size() / 2);
                reason = "disk full";
                return false;
            }
            store_.files[path_] += bytes;
            return true;
        }
        bool Flush(std::string& reason) override {
            // A closed handle cannot be flushed: the real file fails here too.
            if (!open_) {
                reason = "invalid handle";
                return false;
            }
            return Fails(FailAt::Flush, reason);
        }
        bool Close(std::string& reason) override {
            if (open_) --store_.openFiles;
            open_ = false;
            return Fails(FailAt::Close, reason);
        }

    private:
        bool Fails(FailAt step, std::string& reason) {
            if (store_.failAt != step) return true;
            reason = "io error";
            return false;
        }
        ScriptedStore& store_;
        std::string path_;
        bool open_ = true;
    };

    int created_ = 0;
};

struct Shown {
    std::string text;
    std::string caption;
    unsigned style;
};

class ScriptedPrompt : public MessagePrompt {
public:
    std::deque<int> answers;
    std::vector<Shown> shown;

    int Show(const std::string& text, const std::string& caption, unsigned style) override {
        shown.push_back({text, caption, style});
        if (answers.empty()) return style == kMbYesNo ? kIdNo : kIdOk;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

const FailAt kEveryWriteStep[] = {FailAt::Create, FailAt::Write, FailAt::Flush, FailAt::Close, FailAt::Replace};

}  // namespace

TEST(SaveFileSafely, ReplacesTheFileAndLeavesNoTemporary) {
    ScriptedStore store;
    store.files["proc.dat"] = "old\r\nEOF";
    std::string reason;
    ASSERT_TRUE(SaveFileSafely(store, "proc.dat", "new\r\nEOF", reason));
    EXPECT_EQ((std::map<std::string, std::string>{{"proc.dat", "new\r\nEOF"}}), store.files);
    EXPECT_EQ(0, store.openFiles);
}

TEST(SaveFileSafely, EveryFailingStepLeavesTheOldBytes) {
    for (bool existed : {true, false}) {
        for (FailAt step : kEveryWriteStep) {
            ScriptedStore store;
            if (existed) store.files["proc.dat"] = "a.exe\r\nEOF";
            const auto before = store.files;
            store.failAt = step;
            std::string reason;
            EXPECT_FALSE(SaveFileSafely(store, "proc.dat", "a.exe\r\nb.exe\r\nEOF", reason));
            EXPECT_EQ(before, store.files) << static_cast<int>(step);
            EXPECT_EQ(0, store.openFiles);
            EXPECT_FALSE(reason.empty());
        }
    }
}

TEST(SaveFileSafely, ReasonNamesTheStepAndItsCause) {
    ScriptedStore store;
    store.failAt = FailAt::Write;
    std::string reason;
    SaveFileSafely(store, "proc.dat", "x", reason);
    EXPECT_EQ("写入失败：disk full", reason);
    store.failAt = FailAt::Replace;
    SaveFileSafely(store, "proc.dat", "x", reason);
    EXPECT_EQ("无法替换原文件：locked", reason);
}

TEST(LoadBlockListInto, HoldsEveryNameAfterTheBuiltinSlot) {
    ScriptedStore store;
    BlockList table;
    table.AddLoaded("stale.exe");
    std::string failure;
    EXPECT_TRUE(LoadBlockListInto(table, store, failure)) << "a missing file is an empty list";
    EXPECT_EQ(std::vector<std::string>{"FLCSS.EXE"}, table.names());

    std::string file;
    for (int i = 0; i < 150; ++i) file += "p" + std::to_string(i) + ".exe\r\n";
    store.files["proc.dat"] = file + "EOF";
    LoadBlockListInto(table, store, failure);
    ASSERT_EQ(151, table.count());
    EXPECT_EQ("FLCSS.EXE", table.names()[0]);
    EXPECT_EQ("p149.exe", table.names()[150]);

    // A file that cannot be read (held by another program) leaves the list
    // enforced as it was, and says why.
    store.unreadable.insert("proc.dat");
    EXPECT_FALSE(LoadBlockListInto(table, store, failure));
    EXPECT_EQ(151, table.count());
    EXPECT_EQ(0u, failure.find("无法读取文件proc.dat")) << failure;
}

TEST(OfferBlockName, AsksThenAppends) {
    ScriptedStore store;
    ScriptedPrompt prompt;
    prompt.answers = {kIdYes};
    EXPECT_EQ(OfferOutcome::Appended, OfferBlockName("x.exe", prompt, store));
    ASSERT_EQ(1u, prompt.shown.size());
    EXPECT_EQ("真的要把x.exe设为危险进程并永久封锁吗？", prompt.shown[0].text);
    EXPECT_EQ("警告", prompt.shown[0].caption);
    EXPECT_EQ(kMbYesNo, prompt.shown[0].style);
    EXPECT_EQ("x.exe\r\nEOF", store.files["proc.dat"]);

    prompt.answers = {kIdYes};
    OfferBlockName("x.exe", prompt, store);
    EXPECT_EQ("x.exe\r\nx.exe\r\nEOF", store.files["proc.dat"]);

    prompt.answers = {kIdNo};
    EXPECT_EQ(OfferOutcome::Declined, OfferBlockName("y.exe", prompt, store));
    EXPECT_EQ("x.exe\r\nx.exe\r\nEOF", store.files["proc.dat"]);
}

TEST(OfferBlockName, RefusesNamesItCannotStoreWithoutAsking) {
    ScriptedStore store;
    ScriptedPrompt prompt;
    EXPECT_EQ(OfferOutcome::Declined, OfferBlockName("", prompt, store));
    EXPECT_TRUE(prompt.shown.empty());
    for (const std::string& name : {std::string(260, 'n'), std::string("MYEOF.EXE"), std::string("a\nb")}) {
        prompt.shown.clear();
        prompt.answers = {kIdYes, kIdYes};
        EXPECT_EQ(OfferOutcome::Refused, OfferBlockName(name, prompt, store));
        ASSERT_EQ(1u, prompt.shown.size());
        EXPECT_EQ("提示", prompt.shown[0].caption);
        EXPECT_EQ(kMbOk, prompt.shown[0].style);
    }
    EXPECT_TRUE(store.files.empty());
}

TEST(OfferBlockName, AFailedWriteIsReportedAndChangesNothing) {
    for (FailAt step : kEveryWriteStep) {
        ScriptedStore store;
        store.files["proc.dat"] = "a.exe\r\nEOF";
        store.failAt = step;
        ScriptedPrompt prompt;
        prompt.answers = {kIdYes};
        EXPECT_EQ(OfferOutcome::Failed, OfferBlockName("b.exe", prompt, store));
        EXPECT_EQ((std::map<std::string, std::string>{{"proc.dat", "a.exe\r\nEOF"}}), store.files);
        ASSERT_EQ(2u, prompt.shown.size());
        EXPECT_EQ("提示", prompt.shown[1].caption);
        EXPECT_NE(std::string::npos, prompt.shown[1].text.find("proc.dat"));
    }
}

TEST(OfferBlockName, AnUnreadableFileIsNeverOverwritten) {
    ScriptedStore store;
    store.files["proc.dat"] = "a.exe\r\nEOF";
    store.unreadable.insert("proc.dat");
    ScriptedPrompt prompt;
    prompt.answers = {kIdYes};
    EXPECT_EQ(OfferOutcome::Failed, OfferBlockName("b.exe", prompt, store));
    EXPECT_EQ("a.exe\r\nEOF", store.files["proc.dat"]);
    ASSERT_EQ(2u, prompt.shown.size());
    EXPECT_EQ("无法读取文件proc.dat，文件未作改动。\ndenied", prompt.shown[1].text);

    prompt.shown.clear();
    EXPECT_FALSE(RemoveBlockName("a.exe", prompt, store));
    EXPECT_EQ("a.exe\r\nEOF", store.files["proc.dat"]);
    EXPECT_EQ(1u, prompt.shown.size());
}

TEST(RemoveBlockName, RewritesWithoutEveryCopy) {
    ScriptedStore store;
    ScriptedPrompt prompt;
    // A missing file becomes the empty list.
    EXPECT_TRUE(RemoveBlockName("", prompt, store));
    EXPECT_EQ("EOF", store.files["proc.dat"]);

    store.files["proc.dat"] = "a\r\nb\r\n\r\na\r\nEOF\r\n";
    EXPECT_TRUE(RemoveBlockName("a", prompt, store));
    EXPECT_EQ("b\r\nEOF", store.files["proc.dat"]);
    EXPECT_TRUE(prompt.shown.empty());

    for (FailAt step : kEveryWriteStep) {
        store.failAt = step;
        EXPECT_FALSE(RemoveBlockName("b", prompt, store));
        EXPECT_EQ("b\r\nEOF", store.files["proc.dat"]);
        EXPECT_EQ(1u, store.files.size());
    }
}

namespace {

// One program file that reads, or not; its hash is asked for and handed back
// by the test, as the hashing thread would.
class OneProgramFile : public ProgramFileFacts {
public:
    std::vector<std::wstring> requested;
    std::wstring ProgramPathOf(uint32_t) override { return {}; }
    bool StampOf(const std::wstring&, FileStamp& stamp) override {
        stamp = {4096, 1};
        return true;
    }
    std::wstring WindowsFolder() override { return L"C:\\Windows"; }
    std::string Sha256Of(const std::wstring&, const FileStamp&) override { return {}; }
    void RequestHash(const std::wstring& path, const FileStamp&) override { requested.push_back(path); }
};

}  // namespace

// The name always goes into proc.dat at once; the file's fingerprint once its
// hash arrives, only where it can be had and is not the Windows folder's;
// nothing more is said.
TEST(OfferBlockProgram, RecordsTheFileBesideTheName) {
    ScriptedStore store;
    ScriptedPrompt prompt;
    OneProgramFile file;
    PendingFingerprints pending;
    store.files["prochash.dat"] = "kept by hand";
    prompt.answers = {kIdYes, kIdYes, kIdYes, kIdNo};
    const std::string hash(64, '7');
    const auto arrive = [&](const std::wstring& path, const FileStamp& stamp, const std::string& sha256) {
        RecordFingerprints(pending.TakeArrived(path, stamp, sha256), prompt, store);
    };
    EXPECT_EQ(OfferOutcome::Appended, OfferBlockProgram("game.exe", L"D:\\game.exe", prompt, store, file, pending));
    EXPECT_EQ("kept by hand", store.files["prochash.dat"]) << "not before the hash";
    arrive(L"D:\\game.exe", {4096, 2}, hash);
    arrive(L"d:/GAME.EXE", {4096, 1}, hash);
    arrive(L"D:\\game.exe", {4096, 1}, hash);
    EXPECT_EQ("kept by hand\r\ngame.exe\t4096\t" + hash + "\r\n", store.files["prochash.dat"])
        << "the file as stamped, once";
    const std::string recorded = store.files["prochash.dat"];
    EXPECT_EQ(OfferOutcome::Appended, OfferBlockProgram("locked.exe", L"D:\\locked.exe", prompt, store, file, pending));
    arrive(L"D:\\locked.exe", {4096, 1}, "");
    EXPECT_EQ(OfferOutcome::Appended,
              OfferBlockProgram("sys.exe", L"C:\\Windows\\sys.exe", prompt, store, file, pending));
    EXPECT_EQ(OfferOutcome::Declined, OfferBlockProgram("no.exe", L"D:\\no.exe", prompt, store, file, pending));
    EXPECT_EQ((std::vector<std::wstring>{L"D:\\game.exe", L"D:\\locked.exe"}), file.requested);
    arrive(L"D:\\locked.exe", {4096, 1}, hash);
    prompt.answers = {kIdYes};
    EXPECT_EQ(OfferOutcome::Appended, OfferBlockProgram("gone.exe", L"D:\\gone.exe", prompt, store, file, pending));
    EXPECT_TRUE(RemoveBlockName("gone.exe", prompt, store));
    arrive(L"D:\\gone.exe", {4096, 1}, hash);
    EXPECT_EQ(recorded, store.files["prochash.dat"]) << "nothing of a name taken away meanwhile";
    EXPECT_EQ("game.exe\r\nlocked.exe\r\nsys.exe\r\nEOF", store.files["proc.dat"]);
    EXPECT_EQ(5u, prompt.shown.size()) << "the five questions alone";
}

// The editor took "a.exe" away (one of its two lines stays: nothing goes) and
// "b.exe"; the fingerprints of b.exe go, every other line stays.
TEST(OfferBlockProgram, FingerprintsGoWithTheirLastName) {
    ScriptedStore store;
    ScriptedPrompt prompt;
    const std::set<std::string> removed = RemovedNames({"a.exe", "b.exe", "a.exe", "c.exe"}, {"a.exe", "c.exe"});
    EXPECT_EQ((std::set<std::string>{"b.exe"}), removed);
    EXPECT_TRUE(RemoveFingerprintsOfNames(removed, prompt, store));
    EXPECT_EQ(0u, store.files.count("prochash.dat")) << "a missing file stays missing";
    const std::string hash(64, '1');
    store.files["prochash.dat"] = "b.exe\t1\t" + hash + "\r\nbad line\nc.exe\t2\t" + hash + "\r\nb.exe\t3\t" + hash;
    EXPECT_TRUE(RemoveFingerprintsOfNames(removed, prompt, store));
    EXPECT_EQ("bad line\nc.exe\t2\t" + hash + "\r\n", store.files["prochash.dat"]);
    store.failAt = FailAt::Replace;
    store.files["prochash.dat"] += "b.exe\t1\t" + hash;
    EXPECT_FALSE(RemoveFingerprintsOfNames(removed, prompt, store));
    EXPECT_EQ(1u, prompt.shown.size());
}

// A fingerprint is enforced only while its name is in the loaded proc.dat;
// a prochash.dat that cannot be read (an antivirus holding it) keeps the list.
TEST(LoadFingerprintsInto, OnlyTheNamesOfTheBlockListAndAFailedReadKeepsTheList) {
    ScriptedStore store;
    const std::string hash(64, '2');
    store.files["prochash.dat"] = "a.exe\t1\t" + hash + "\r\nb.exe\t2\t" + hash + "\r\nc.exe\t3\t" + hash + "\r\n";
    FingerprintList list;
    std::string failure;
    EXPECT_TRUE(LoadFingerprintsInto(list, {"a.exe", "c.exe", "other.exe"}, store, failure));
    ASSERT_EQ(2u, list.entries().size());
    EXPECT_EQ("a.exe", list.entries()[0].name);
    EXPECT_EQ("c.exe", list.entries()[1].name);
    EXPECT_EQ(nullptr, list.NameFor(2, hash)) << "b.exe is no longer blocked";

    store.unreadable.insert("prochash.dat");
    EXPECT_FALSE(LoadFingerprintsInto(list, {"b.exe"}, store, failure));
    EXPECT_EQ(2u, list.entries().size()) << "kept as it was";
    EXPECT_EQ(0u, failure.find("无法读取文件prochash.dat，文件未作改动。")) << failure;

    store.unreadable.clear();
    store.files.erase("prochash.dat");
    EXPECT_TRUE(LoadFingerprintsInto(list, {"a.exe"}, store, failure));
    EXPECT_TRUE(list.empty()) << "a missing file is an empty list";
}

// Each waiting fingerprint goes with the hash of its own file, whichever
// arrives first.
TEST(PendingFingerprints, EachWithItsOwnFile) {
    PendingFingerprints pending;
    const std::string hash(64, '4');
    pending.Add("a.exe", L"D:\\a.exe", {1, 1});
    pending.Add("b.exe", L"D:\\b.exe", {2, 1});
    const std::vector<FileFingerprint> b = pending.TakeArrived(L"d:/B.EXE", {2, 1}, hash);
    ASSERT_EQ(1u, b.size());
    EXPECT_EQ("b.exe", b[0].name);
    EXPECT_EQ(2u, b[0].size);
    EXPECT_TRUE(pending.TakeArrived(L"D:\\b.exe", {2, 1}, hash).empty()) << "it waits no more";
    EXPECT_EQ(1u, pending.TakeArrived(L"D:\\a.exe", {1, 1}, hash).size());
}

// A fingerprint already in prochash.dat records nothing: the file is not
// written again.
TEST(RecordFingerprints, AKnownFingerprintLeavesTheFileAlone) {
    ScriptedStore store;
    ScriptedPrompt prompt;
    const std::string hash(64, '3');
    store.files["proc.dat"] = "game.exe\r\nEOF";
    store.files["prochash.dat"] = "game.exe\t5\t" + hash + "\r\n";
    store.failAt = FailAt::Replace;
    EXPECT_FALSE(RecordFingerprints({{"game.exe", 5, hash}}, prompt, store));
    EXPECT_TRUE(prompt.shown.empty()) << "no write was tried";
    store.failAt = FailAt::Nothing;
    EXPECT_TRUE(RecordFingerprints({{"game.exe", 6, hash}}, prompt, store));
    EXPECT_EQ("game.exe\t5\t" + hash + "\r\ngame.exe\t6\t" + hash + "\r\n", store.files["prochash.dat"]);
}
