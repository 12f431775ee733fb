// output_files.h - the run's outputs, written as one transaction.
//
// Every output is staged while the run works and put in place only when all of them are
// complete, so that a failure anywhere (a full disk, a closed pipe, a frame name taken by a
// folder, an interruption) leaves every target exactly as it was:
//
//   - A file is written into a temporary file created exclusively beside its target: on Linux
//     an unnamed one (O_TMPFILE) where the file system allows, given a name only when it is
//     complete, else one with an unpredictable name created with O_EXCL. Neither is ever
//     opened through an existing entry, so a link planted under a guessed name gets nothing.
//     Commit renames it over the target in one step; the target it replaces is kept (as a
//     hard link) until every output is in place, so that a later failure can put it back.
//     The new file takes the replaced one's mode, owner and group where the process may set
//     them (all three as root). A hard-linked target is replaced, not written through: its
//     other names keep the old content.
//   - A stream (a descriptor the process holds, a device, FIFO or socket: tool_paths.h) cannot
//     be replaced, only written: its bytes are staged in an unnamed temporary file and sent
//     through its descriptor after every file is complete and before any is put in place.
//     Nothing reopens or truncates it, so ">>" appends.
//
// CommitTogether() runs the steps in that order for all outputs: Ready (finish writing and
// check what can be checked), Send (streams), then Commit each, rolling back the ones already
// committed if one fails, then Finish (drop what was kept for the rollback). Commit and its
// rollback run as one step for an interruption (interrupt_cleanup.h); sending does not, since a
// reader may keep a stream waiting. Temporaries are removed on every path out, interruptions
// included. Messages name the output as given, never a temporary.
#ifndef FILES_OUTPUT_FILES_H
#define FILES_OUTPUT_FILES_H

#include <stdio.h>

#include <string>
#include <vector>

#include "image_files.h"
#include "tool_paths.h"

namespace files {

// Something written now and put in place at the end of the run.
class StagedOutput {
  public:
    virtual ~StagedOutput() = default;
    // Finishes writing and checks what can go wrong when it is put in place.
    virtual bool Ready(std::string* error) = 0;
    // Sends a stream's bytes; nothing for a file.
    virtual bool Send(std::string*) { return true; }
    // Puts it in place, keeping what it replaces until Finish() or Rollback().
    virtual bool Commit(std::string* error) = 0;
    // Undoes a Commit() that succeeded.
    virtual void Rollback() = 0;
    // Drops what was kept for a rollback.
    virtual void Finish() = 0;
};

// All or nothing, as described above. Null entries (outputs not asked for) are skipped.
bool CommitTogether(const std::vector<StagedOutput*>& outputs, std::string* error);

// Every step that writes, renames or links on the way from staged to in place (in Ready, Send
// and Commit; never in Rollback or Finish) asks OutputStepFails() first and, when it answers
// true, fails as a full disk would. It answers true only when a hook set with
// SetOutputFaultHook says so: the way storage code tests its recovery, a test's hook fails the
// Nth step and the test walks N over every step of a run, so that every rollback path runs.
using OutputFaultHook = bool (*)();
void SetOutputFaultHook(OutputFaultHook hook); // null: no faults
bool OutputStepFails();

// A file or stream output: open it before the work (which checks early that it can be
// written), write through File() or WritePng(), and commit it with CommitTogether().
// Destroyed without a commit, it leaves its target untouched and removes its temporary file.
class PendingFile : public StagedOutput {
  public:
    PendingFile() = default;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile() override;

    // `given` as typed, resolved here or beforehand (tool_paths.h).
    bool Open(const std::string& given, std::string* error);
    bool Open(const std::string& given, const OutputTarget& target, std::string* error);
    FILE* File() const { return file_; }
    bool WritePng(const picture_io::Picture& image, std::string* error);

    bool Ready(std::string* error) override;
    bool Send(std::string* error) override;
    bool Commit(std::string* error) override;
    void Rollback() override;
    void Finish() override;

  private:
    bool OpenStaging(std::string* error);
    void TakeOverOwnerAndMode();
    bool Failed(const std::string& reason, std::string* error);

    std::string given_, target_; // as typed; the file put in place (links followed)
    bool stream_ = false;
    int sendTo_ = -1;         // a stream's descriptor
    bool ownsSendTo_ = false; // opened here (a device, FIFO, socket), closed here
    FILE* file_ = nullptr;    // the staged bytes
    bool unnamed_ = false;    // file_ has no name yet (O_TMPFILE)
    bool direct_ = false;     // file_ is the stream itself (Windows devices)
    std::string temporary_;   // the staged file's name, once it has one
    std::string kept_;        // the replaced target, kept for a rollback
    bool committed_ = false, hadTarget_ = false, failed_ = false;
};

// Writes a PNG into a new file at `path`, created exclusively: for files in a folder of the
// run's own (the staged frames). On failure returns false with a reason naming `path`.
bool WriteNewPng(const std::string& path, const picture_io::Picture& image, std::string* error);

} // namespace files

#endif
