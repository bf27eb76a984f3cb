// The send dialog's behaviour: the user chooses a backup archive, sees which
// kinds it holds, ticks the kinds to send and sends them to one scale, or to
// every scale named in the list file "seznam.lst".
//
// Plain C++: the window is reached only through its WindowPort; transfers go
// through the backup dialog's runner, handed in at start-up.
#pragma once

#include "BackupDialog.h"
#include "RunResult.h"
#include "WindowPort.h"

#include <cstddef>
#include <string>
#include <vector>

namespace zalohy {

class BackupArchive;

class SendDialog : public FormHandlers {
public:
    // Gives the check boxes their captions and runs FormCreate.
    SendDialog(WindowPort& window, ScaleRunner& runner);
    SendDialog(const SendDialog&) = delete;
    SendDialog& operator=(const SendDialog&) = delete;

    // Captions set once, at start-up.
    void FormCreate();
    // Each time the dialog is shown: status line, empty log and archive
    // name, five kinds unticked (the image box and every enabled state stay).
    void FormActivate() override;
    // "...", "Odeslat" and "Na seznam".
    void clicked(Control button) override;
    // Lets the user choose the archive and ticks the kinds it holds.
    void FileSelectBtnClick();
    // The send run to the scale in the address box.
    RunResult SendFormatBtnClick();
    // The send run to every scale of the list file.
    ListRunResult SendByListClick();

    // One scale of the list run: every ticked kind but the image, with the
    // list run's texts and boxes. A failed extraction ends the whole list
    // run (stopsTheList).
    RunResult SendToListedScale(const std::string& address, BackupArchive& archive);

    // The last line of a list run that was not stopped: that everything was
    // sent, or to how many of the scales visited it was not.
    static std::string listVerdict(int failed, int visited);

private:
    enum class Transfer { NotExtracted, Failed, Sent };

    // The archive named in the file box.
    BackupArchive archiveNamedInTheBox();
    // The reminder to choose an archive first; the run goes on after it.
    void warnIfNoArchiveName();
    // Extracts one kind's member for the scale and hands it to the library.
    // A failed extraction is reported here; a failed transfer is left to the run.
    // One scale of the list run; its lines stay in shown_.
    RunResult sendToListedScale(const std::string& address, BackupArchive& archive);
    // `status`: the library's status of the transfer.
    Transfer sendKind(std::size_t kindIndex, const std::string& address, BackupArchive& archive,
                      const char* progress, int& status);
    void warn(const char* text);
    // A line in the text box, kept for the run's result too.
    void show(const std::string& line);

    WindowPort& window_;
    ScaleRunner& runner_;
    std::vector<std::string> shown_;  // the lines of the run under way (before report_, which adds to them)
    WindowReport report_;             // the archive container's messages go to this window
};

}  // namespace zalohy
