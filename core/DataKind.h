// The six kinds of scale data the program moves between a scale and a backup
// archive, in the one order every run processes them. Every per-kind value
// (check box and its captions, archive member id, library command words and
// file-name suffixes) is taken from this table and nowhere else.
#pragma once

#include "Forms.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace zalohy {

struct DataKind {
    const char* name;             // plain name: "formats", "texts", ...
    Control checkBox;             // the kind's check box in both dialogs
    const char* backupCaption;    // check-box caption in the backup dialog (UTF-8)
    const char* sendCaption;      // check-box caption in the send dialog (UTF-8)
    int id;                       // archive member id; also the upload file's number
    const char* downloadWord;     // library word that fetches the data from the scale
    const char* downloadedSuffix; // end of the name of the file the download leaves
    const char* uploadWord;       // library word that sends the data to the scale
    const char* uploadSuffix;     // end of the name of the file the upload reads
};

// Table order: formats, texts, shop name, preset keys, PLU file, image file.
inline constexpr std::array<DataKind, 6> kDataKinds{{
    {"formats", Control::CheckBoxFormaty, "Formáty", "Formáty", 34, "F74", "T74.dat", "F34", "F34.dat"},
    {"texts", Control::CheckBoxTexty, "Texty", "Texty", 38, "f78", "T78.dat", "F38", "F38.dat"},
    {"shop name", Control::CheckBoxShopName, "Název obchodu", "Název obchodu", 52, "f62", "T62.dat", "F52", "F52.dat"},
    {"preset keys", Control::CheckBoxPresety, "Rychloklávesy", "Rychloklávesy", 41, "F71", "T71.dat", "F41", "F41.dat"},
    {"PLU file", Control::CheckBoxPlu, "PLU soubor", "PLU soubor", 25, "F85", "T85.dat", "F25", "F25.dat"},
    {"image file", Control::CheckBoxImg, "Image soubor", "Image", 67, "F66", "T66.dat", "F67", "F67.dat"},
}};

// Positions of the kinds in kDataKinds, for code that needs one particular kind.
enum KindIndex : std::size_t { kFormats = 0, kTexts, kShopName, kPresetKeys, kPlu, kImage };

// The command line "twswtcp " + word + " " + address is built in 50 characters
// with its terminator; every word is 3 characters, so an address may hold 37.
inline constexpr std::size_t kMaxCommandLine = 49;
inline constexpr std::size_t kMaxAddressLength = 37;

// The kind stored under this member id, or nullptr.
const DataKind* kindById(int id);
// The kind whose download or upload word this is, compared without regard to
// the letter's case ("f74" and "F74" are the same word), or nullptr.
const DataKind* kindByWord(std::string_view word, bool* isUpload = nullptr);

// "SM" + address + suffix: the name of a scale data file in the working folder.
std::string scaleFileName(std::string_view address, std::string_view suffix);
// "twswtcp " + word + " " + address: the command line handed to the library.
std::string scaleCommandLine(std::string_view word, std::string_view address);

}  // namespace zalohy
