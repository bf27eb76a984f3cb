// The send dialog's behaviour: the user chooses a backup archive, sees which
// kinds it holds, ticks the kinds to send and sends them to one scale, or to
// every scale named in the list file "seznam.lst".
//
// Plain C++: the window is reached only through its WindowPort; transfers go
// through the backup dialog's runner, handed in at start-up.
#pragma once

#include "BackupDialog.h"
#include "WindowPort.h"

#include <cstddef>
#include <string>

namespace zalohy {

class BackupArchive;

class SendDialog {
public:
    // Gives the check boxes their captions and runs FormCreate.
    SendDialog(WindowPort& window, ScaleRunner& runner);
    SendDialog(const SendDialog&) = delete;
    SendDialog& operator=(const SendDialog&) = delete;

    // Captions set once, at start-up.
    void FormCreate();
    // Each time the dialog is shown: status line, empty log and archive
    // name, five kinds unticked (the image box and every enabled state stay).
    void FormActivate();
    // Lets the user choose the archive and ticks the kinds it holds.
    void FileSelectBtnClick();
    // The send run to the scale in the address box.
    void SendFormatBtnClick();
    // The send run to every scale of the list file.
    void SendByListClick();

    // One scale of the list run: every ticked kind but the image, with the
    // list run's texts and boxes. Stopped after a failed extraction, which
    // ends the whole list run.
    enum class ListSend { Sent, Failed, Stopped };
    ListSend SendToListedScale(const std::string& address, BackupArchive& archive);

private:
    enum class Transfer { NotExtracted, Failed, Sent };

    // The archive named in the file box.
    BackupArchive archiveNamedInTheBox();
    // The reminder to choose an archive first; the run goes on after it.
    void warnIfNoArchiveName();
    // Extracts one kind's member for the scale and hands it to the library.
    // A failed extraction is reported here; a failed transfer is left to the run.
    Transfer sendKind(std::size_t kindIndex, const std::string& address, BackupArchive& archive,
                      const char* progress);
    void warn(const char* text);

    WindowPort& window_;
    ScaleRunner& runner_;
    WindowReport report_;  // the archive container's messages go to this window
};

}  // namespace zalohy
