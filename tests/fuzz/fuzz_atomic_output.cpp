// The atomic writer through fuzzed sequences: outputs of odd names made,
// written, patched, committed, discarded or dropped, several at once on
// the same name, with a final name swapped for a file, a link, a folder or
// a FIFO on the way, and with one system call failing. After every step a
// final name shows its old entry or exactly the bytes of a commit that
// said so, a link's target is never written through, and no file but a
// live output's temporary one (or one a failure said it could not remove,
// emptied) is left in the folder.
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "platform/atomic_file.h"
#include "platform/output_folder.h"

namespace {

using tamarind::fuzz::Expect;
using tamarind::platform::AtomicOutputFile;
using tamarind::platform::Status;

constexpr char kLinkTarget[] = "link-target";

enum class Kind { kNone, kFile, kReadOnly, kLink, kFolder, kFifo };

struct Entry {
  Kind kind = Kind::kNone;
  std::string bytes;  // of a file
  bool operator==(const Entry&) const = default;
};

// Fails call number |failAt| (counting every call) with |error|, without
// making it, except a close, which closes all the same.
class FailingCalls : public tamarind::platform::SystemCalls {
 public:
  FailingCalls(int failAt, int error) : failAt_(failAt), error_(error) {}
  bool Failed() const { return calls_ > failAt_ && failAt_ >= 0; }

  int OpenAt(int d, const char* n, int f, mode_t m) const override { return Fails() ? -1 : Real().OpenAt(d, n, f, m); }
  ssize_t Write(int fd, const void* b, size_t s) const override { return Fails() ? -1 : Real().Write(fd, b, s); }
  int Flush(std::FILE* s) const override { return Fails() ? EOF : Real().Flush(s); }
  int CloseStream(std::FILE* s) const override { return Fails(Real().CloseStream(s)) ? EOF : 0; }
  int Close(int fd) const override { return Fails(Real().Close(fd)) ? -1 : 0; }
  int Sync(int fd) const override { return Fails() ? -1 : Real().Sync(fd); }
  int Duplicate(int fd) const override { return Fails() ? -1 : Real().Duplicate(fd); }
  int StatAt(int d, const char* n, struct stat* i, int f) const override {
    return Fails() ? -1 : Real().StatAt(d, n, i, f);
  }
  int AccessAt(int d, const char* n, int m, int f) const override { return Fails() ? -1 : Real().AccessAt(d, n, m, f); }
  int LinkAt(int fd, const char* f, int td, const char* t, int fl) const override {
    return Fails() ? -1 : Real().LinkAt(fd, f, td, t, fl);
  }
  int RenameAt(int fd, const char* f, int td, const char* t) const override {
    return Fails() ? -1 : Real().RenameAt(fd, f, td, t);
  }
  int UnlinkAt(int d, const char* n, int f) const override { return Fails() ? -1 : Real().UnlinkAt(d, n, f); }
  int Truncate(int fd, off_t s) const override { return Fails() ? -1 : Real().Truncate(fd, s); }

 private:
  // |made|: the result of a call made all the same; its own failure stands.
  bool Fails(int made = 0) const {
    if (calls_++ != failAt_) return made != 0;
    if (made == 0) errno = error_;
    return true;
  }
  int failAt_;
  int error_;
  mutable int calls_ = 0;
};

struct Output {
  std::unique_ptr<FailingCalls> calls;
  std::unique_ptr<AtomicOutputFile> file;
  std::string name;
  std::string bytes;  // what the stream was given, patches applied
};

bool IsName(const std::string& name) { return !name.empty() && name != "." && name != ".."; }

class Run {
 public:
  Run(const std::string& folder, std::array<std::string, 2> names) : folder_(folder), names_(std::move(names)) {
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directory(folder_);
    Make(kLinkTarget, {Kind::kFile, "the link's own"});
  }

  // Puts |entry| under |name|, whatever was there.
  void Swap(const std::string& name, const Entry& entry) {
    if (!IsName(name)) return;
    std::error_code ignored;
    std::filesystem::remove_all(Path(name), ignored);
    Make(name, entry);
    model_[name] = Observe(name);
  }

  void Create(FuzzedDataProvider& in, Output& out) {
    out = Output{};
    out.name = names_[in.ConsumeIntegralInRange(0, 1)];
    const int failAt = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 24) : -1;
    const int error = std::array{EIO, ENOSPC, EACCES, EPERM, EROFS}[in.ConsumeIntegralInRange(0, 4)];
    out.calls = std::make_unique<FailingCalls>(failAt, error);
    const tamarind::platform::OutputOptions options{
        .sync = in.ConsumeBool(), .unnamed = in.ConsumeBool(), .calls = out.calls.get()};
    tamarind::platform::Expected<std::unique_ptr<AtomicOutputFile>> made =
        tamarind::platform::Failure{"the folder cannot be opened"};
    if (in.ConsumeBool()) {
      made = AtomicOutputFile::Create(Path(out.name), options);
    } else if (auto folder = tamarind::platform::OutputFolder::Open(folder_)) {
      made = AtomicOutputFile::Create(*folder, out.name, options);
    }
    Expect(made.ok() || failAt >= 0 || !Writable(out.name), "an output is made over nothing, a file or a link");
    Expect(!made.ok() || Writable(out.name), "no output over anything else");
    if (made.ok()) out.file = std::move(*made);
  }

  void Commit(Output& out) {
    const Entry before = model_[out.name];
    const std::string temporary = out.file->TemporaryName();
    const Status committed = out.file->Commit();
    Expect(committed.ok() || out.calls->Failed() || !Writable(out.name), "a commit fails only with a cause");
    Expect(!committed.ok() || Writable(out.name), "a commit replaces only a file or a link");
    const bool placed = committed.ok() || committed.reason().find("in place") != std::string::npos;
    if (placed) model_[out.name] = {Kind::kFile, out.bytes};
    Expect(placed || model_[out.name] == before, "a failed commit leaves the old entry");
    Finished(temporary, committed);
  }

  void Discard(Output& out, bool destroy) {
    const std::string temporary = out.file->TemporaryName();
    Status discarded;
    if (destroy) out.file.reset();
    else discarded = out.file->Discard();
    Expect(discarded.ok() || out.calls->Failed(), "a discard fails only with a cause");
    // A destructor cannot say what it could not remove.
    if (destroy && out.calls->Failed()) discarded = tamarind::platform::Failure{"cannot be removed"};
    Finished(temporary, discarded);
  }

  // Every name shows what the model says; nothing else is in the folder but
  // the live outputs' temporary files and the emptied ones a failure named.
  void Check(const std::vector<Output>& outputs) const {
    for (const std::string& name : names_)
      if (IsName(name)) Expect(Observe(name) == model_.at(name), "a final name shows its last commit");
    Expect(Observe(kLinkTarget) == Entry{Kind::kFile, "the link's own"}, "a link is never written through");
    std::set<std::string> expected(kept_.begin(), kept_.end());
    expected.insert(kLinkTarget);
    for (const auto& [name, entry] : model_)
      if (entry.kind != Kind::kNone) expected.insert(name);
    for (const Output& out : outputs)
      if (out.file && !out.file->TemporaryName().empty()) expected.insert(out.file->TemporaryName());
    std::set<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) found.insert(entry.path().filename());
    Expect(found == expected, "no file is left behind");
    for (const std::string& name : kept_) Expect(Observe(name).bytes.empty(), "a file left behind is emptied");
  }

 private:
  std::string Path(const std::string& name) const { return tamarind::platform::JoinPath(folder_, name); }

  bool Writable(const std::string& name) const {
    if (!IsName(name) || name.size() > 255) return false;
    const Kind kind = model_.at(name).kind;
    return kind == Kind::kNone || kind == Kind::kFile || kind == Kind::kLink;
  }

  // A temporary file may stay only when the failure says it could not go.
  void Finished(const std::string& temporary, const Status& status) {
    if (!temporary.empty() && status.reason().find("cannot be removed") != std::string::npos &&
        std::filesystem::exists(std::filesystem::symlink_status(Path(temporary))))
      kept_.insert(temporary);
  }

  void Make(const std::string& name, const Entry& entry) const {
    const std::string path = Path(name);
    switch (entry.kind) {
      case Kind::kFile:
      case Kind::kReadOnly:  // a name too long for the system stays unmade
        std::ofstream(path, std::ios::binary) << entry.bytes;
        if (entry.kind == Kind::kReadOnly) chmod(path.c_str(), 0444);
        break;
      case Kind::kLink: (void)symlink(kLinkTarget, path.c_str()); break;
      case Kind::kFolder: mkdir(path.c_str(), 0777); break;
      case Kind::kFifo: mkfifo(path.c_str(), 0666); break;
      case Kind::kNone: break;
    }
  }

  Entry Observe(const std::string& name) const {
    struct stat info {};
    if (lstat(Path(name).c_str(), &info) != 0) return {};
    if (S_ISLNK(info.st_mode)) return {Kind::kLink, {}};
    if (S_ISDIR(info.st_mode)) return {Kind::kFolder, {}};
    if (S_ISFIFO(info.st_mode)) return {Kind::kFifo, {}};
    const std::vector<uint8_t> bytes = tamarind::fuzz::FileBytes(Path(name));
    return {(info.st_mode & 0222) == 0 ? Kind::kReadOnly : Kind::kFile, std::string(bytes.begin(), bytes.end())};
  }

  std::string folder_;
  std::array<std::string, 2> names_;
  std::map<std::string, Entry> model_;
  std::set<std::string> kept_;  // left behind, said so
};

// A name of odd bytes: any but '/' and NUL, now and then about the 255
// bytes a name may have.
std::string OddName(FuzzedDataProvider& in) {
  std::string name = in.ConsumeRandomLengthString(24);
  for (char& c : name)
    if (c == '/' || c == '\0') c = '_';
  if (!name.empty() && in.ConsumeIntegralInRange(0, 7) == 0) {
    const auto length = in.ConsumeIntegralInRange<size_t>(240, 260);
    while (name.size() < length) name += name;
    name.resize(length);
  }
  // The link's target, and the names the writer keeps for itself.
  if (name == kLinkTarget || name.ends_with(".tmp")) name += "_";
  return name;
}

Entry FuzzedEntry(FuzzedDataProvider& in) {
  const auto kind = static_cast<Kind>(in.ConsumeIntegralInRange(0, 5));
  return {kind, kind == Kind::kFile || kind == Kind::kReadOnly ? in.ConsumeRandomLengthString(32) : ""};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const tamarind::fuzz::ScratchFolder scratch("fuzz-atomic-output");
  FuzzedDataProvider in(data, size);
  std::array<std::string, 2> names;
  for (std::string& name : names) name = OddName(in);
  Run run(scratch.File("out"), names);
  for (const std::string& name : names) run.Swap(name, FuzzedEntry(in));
  std::vector<Output> outputs(3);
  for (int step = 0; step < 24 && in.remaining_bytes() > 0; ++step) {
    Output& out = outputs[in.ConsumeIntegralInRange<size_t>(0, outputs.size() - 1)];
    const int action = in.ConsumeIntegralInRange(0, 6);
    if (action == 6) {
      const std::string& name = names[in.ConsumeIntegralInRange(0, 1)];
      run.Swap(name, FuzzedEntry(in));
    } else if (!out.file) {
      run.Create(in, out);
    } else if (action <= 1) {
      const std::string bytes = in.ConsumeRandomLengthString(64);
      std::fwrite(bytes.data(), 1, bytes.size(), out.file->Stream());
      out.bytes += bytes;
    } else if (action == 2) {  // a patch, as a writer goes back to fill in a length
      const auto at = in.ConsumeIntegralInRange<size_t>(0, out.bytes.size());
      const std::string bytes = in.ConsumeRandomLengthString(8);
      const bool sought = std::fseek(out.file->Stream(), static_cast<long>(at), SEEK_SET) == 0;
      Expect(sought || out.calls->Failed(), "a seek fails only with a cause");
      std::fwrite(bytes.data(), 1, bytes.size(), out.file->Stream());
      std::fseek(out.file->Stream(), 0, SEEK_END);
      out.bytes.replace(at, std::min(bytes.size(), out.bytes.size() - at), bytes);
    } else if (action == 3) {
      run.Commit(out);
      out.file.reset();
    } else {
      run.Discard(out, action == 5);
      out.file.reset();
    }
    run.Check(outputs);
  }
  for (Output& out : outputs)
    if (out.file) run.Discard(out, true);
  run.Check(outputs);
  return 0;
}
