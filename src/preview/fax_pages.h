// Every page of one WinFax file, for a viewer: the page chain is walked once
// when the file opens, and any page is then decoded on request and turned
// into a grey picture with square pixels at a chosen scale, turned in
// quarter turns. Renders may run on several threads at once.
//
// Each page is judged against PreviewLimits before its data is read, so a
// hostile file costs no more than a real page, page by page.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "faxdoc/winfax_reader.h"
#include "platform/outcome.h"
#include "preview/page_preview.h"

namespace tamarind {

// A page's size in square pixels at scale 1: its width, and its rows
// weighted as ScalePage weighs them (standard rows twice, superfine half).
struct PageExtent {
  int width = 0;
  int height = 0;
  bool operator==(const PageExtent&) const = default;
};

class FaxPages {
 public:
  // Opens the WinFax file at |path| (judged by content, whatever its name)
  // and counts its pages. Fails with the reason in the user's words.
  static platform::Expected<std::unique_ptr<FaxPages>> Open(const std::string& path, const PreviewLimits& limits = {});

  const std::string& Path() const { return path_; }
  int PageCount() const { return pageCount_; }
  // The size of page |index|: as decoded once it has been, else as its
  // header claims (headers often claim the longest page, 3432 rows), for
  // laying out before it is decoded; 0 x 0 for a page past the end.
  PageExtent Extent(int index) const;

  // Page |index| decoded, judged against the limits first. A failure is
  // the page's and names no file; Open's name the file.
  platform::Expected<FaxPage> Decode(int index) const;
  // Page |index| at |scale| (at most 1: one page pixel to one picture
  // pixel; a page row stands for as many square rows as its resolution
  // gives), turned clockwise by |quarterTurns| quarter turns.
  platform::Expected<GreyPicture> Render(int index, double scale, int quarterTurns = 0) const;

 private:
  FaxPages(std::string path, PreviewLimits limits) : path_(std::move(path)), limits_(limits) {}

  // A reader with the chain walked, taken from the idle ones or opened
  // anew; each render has its own, so renders never wait on each other.
  std::unique_ptr<WinFaxReader> TakeReader() const;
  void ReturnReader(std::unique_ptr<WinFaxReader> reader) const;

  std::string path_;
  PreviewLimits limits_;
  int pageCount_ = 0;
  mutable std::mutex extentsLock_;
  mutable std::vector<PageExtent> extents_;
  std::vector<std::string> refusals_;  // why a page cannot be shown; "" when it can
  mutable std::mutex readersLock_;
  mutable std::vector<std::unique_ptr<WinFaxReader>> idleReaders_;
};

// |picture| turned clockwise by |quarterTurns| quarter turns (any integer;
// negative turns go anticlockwise).
GreyPicture RotatePicture(const GreyPicture& picture, int quarterTurns);

}  // namespace tamarind
