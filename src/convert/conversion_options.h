// Everything that decides how a run converts: filled by the command-line
// parser or the window's Options and Convert tabs, held by the run's job
// and handed to each worker as one copy.
#pragma once

#include <cstdint>
#include <string>

namespace tamarind {

enum class RunMode : int32_t { None = 0, Folder = 1, SingleFile = 2 };

// One JPEG per page, or one lossless document per fax.
enum class OutputFormat { Jpeg, Pdf, Tiff };

struct ConversionOptions {
  bool keepDate = false;       // copy the source's times onto the outputs
  bool quiet = false;          // the command line prints no report
  bool keepExtension = false;  // a.fxd gives a.fxd.jpg
  bool optimize = true;        // optimised Huffman tables
  bool includeSubfolders = false;
  bool keepHierarchy = false;  // outputs mirror the source folder tree
  bool convertFiles = false;   // the window's source names files, not a folder
  RunMode mode = RunMode::None;
  OutputFormat format = OutputFormat::Jpeg;
  // Text recognition: an invisible text layer in PDFs, a NAME.txt beside
  // other outputs. Languages are Tesseract codes joined by '+'.
  bool recognizeText = false;
  std::string ocrLanguages = "eng";
  // A PDF carries its fax file, byte for byte, as an associated file
  // (PDF/A-3b instead of PDF/A-2b); other formats ignore it.
  bool embedSource = false;
  int32_t quality = 50;  // JPEG quality, clamped to 1..100 by the library
  // Leave outputs that exist, are not empty and are not older than their
  // source (runs started by the window's timer, "/skip").
  bool skipExisting = false;
  int32_t workers = 0;  // files converted at once; 0 chooses
  // Each output and its folder are flushed to the disk before the output
  // takes its name, so a power cut leaves the old file or the whole new one.
  bool sync = false;
  std::string filter = "*.*";
  std::string source;       // file or folder
  std::string destination;  // file (single-file mode) or folder
  // The folder run's files come from this list ("-": standard input)
  // instead of the walk.
  std::string filesFrom;
  // Only the files of shard |shardIndex| of |shardCount| (see ShardHash).
  int64_t shardIndex = 0;
  int64_t shardCount = 1;
  // Where the JSON-lines report goes ("-": standard output); "" for none.
  std::string reportPath;
  // Above 0: after the first pass, rescan the source every so many seconds.
  int32_t watchSeconds = 0;

  bool operator==(const ConversionOptions&) const = default;
};

}  // namespace tamarind
