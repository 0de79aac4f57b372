// The upload window "Upload": sends an application image into an annunciator through the
// bootloader resident in the device. It forces the device from its application into the
// bootloader, switches that into programming mode, writes the image block by block, restarts
// the device into the new application and checks that it runs.
//
// TLoader1 holds the window's state (caption, the two text lines, the progress bar, the
// button) and runs the upload; it has no widgets. The Qt view shows it modally and starts
// DoUpload once it is painted; without a view (command line, tests) Upload runs it directly.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "firmware/Mixer.h"

namespace vex {

class TPorts1;

constexpr int WM_UPBOOT = 0x0401;  // the window message that starts the upload (WM_USER + 1)

class TLoader1 {
 public:
  explicit TLoader1(TPorts1& ports);
  TLoader1(const TLoader1&) = delete;
  TLoader1& operator=(const TLoader1&) = delete;

  // Uploads the image that starts at m.data() (its header first); m reaches to the end of the
  // memory image it lies in, which bounds the copy. f: file mark shown in the caption; c:
  // production mode (the window closes itself and the error is raised here). Returns when the
  // window has closed.
  void Upload(std::span<const uint8_t> m, int f, bool c);
  // The upload itself (WM_UPBOOT). Raises the failure unless in production mode.
  void DoUpload();
  // The button: "Cancel" while the upload runs (honoured after the current block), "Close"
  // afterwards; either way it sets the modal result.
  void Button1Click();

  void Mesaj1(const std::string& s);  // upper line, and the message console when not empty
  void Mesaj2(const std::string& s);  // lower line, and the message console when not empty

  // ---- the window's state ----
  std::string Caption = "Upload";
  std::string Line1, Line2;       // upper and lower text line
  int64_t ProgressMax = 0;        // progress bar: 0 ... ProgressMax
  int64_t ProgressPos = 0;        // bytes sent
  std::string Button = "Cancel";  // "Cancel" or "Close"
  bool Running = false;           // DoUpload is under way
  bool ModalResult = false;       // the button was pressed ("cancel")

  // ---- the upload's fields ----
 private:
  std::unique_ptr<uint8_t[]> map_;

 public:
  tIdf Idf{};          // header of the image
  uint8_t* const Map;  // copy of the image, cRomSiz bytes, header first
  int64_t Siz = 0;     // bytes to send: Idf.Top x segment size
  int Fid = 0;         // file mark of the caption
  int Seg = 0;         // block size of this upload
  bool Poc = false;    // production mode
  std::string Err;     // error handed back in production mode

  // ---- the view ----
  // Shows the window modally and runs DoUpload once it is on screen; returns when it has
  // closed. Not set: DoUpload runs at once.
  std::function<void()> ShowModal;
  std::function<void()> CloseWindow;  // production mode: the window closes itself
  std::function<void()> Changed;      // a text, the progress or the button changed

  int SearchMs = 10000;  // how long the bootloader search may take

 private:
  void Notify() const;
  void Steps();
  void SearchBootloader();
  void Line2Progress(int64_t q);

  TPorts1& ports_;
};

}  // namespace vex
