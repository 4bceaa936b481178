#include "window/convert_form.h"

#include "convert/fax_text.h"
#include "convert/process.h"
#include "window/file_selection.h"
#include "window/window_texts.h"

namespace tamarind {

namespace {

ConversionOptions RunOptions(const ConvertForm& form) {
  ConversionOptions run = form.options;
  run.filter = form.filterText;
  run.source = form.sourceFolder;
  run.destination = form.destinationText;
  return run;
}

}  // namespace

bool ConvertForm::PrepareFileList() {
  sourceFolder = BuildFileList(job, sourceText, RunOptions(*this));
  return !sourceFolder.empty() && !destinationText.empty();
}

std::string ConvertForm::GoRefusal(bool running) {
  if (running) return std::string(kStopWaitMessage);
  if (!PrepareFileList()) return sourceFolder.empty() ? std::string(kNoSourceMessage) : NoDestinationMessage(options.format);
  if (platform::Status ready = TextRecognitionReady(options); !ready) return ready.reason();
  return {};
}

RunPlan ConvertForm::Plan(bool byTimer) const {
  RunPlan plan{RunOptions(*this), processPaths.logPath, processPaths.logPathIsDefault};
  plan.options.skipExisting = byTimer;
  return plan;
}

}  // namespace tamarind
