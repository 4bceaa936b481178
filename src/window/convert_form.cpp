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
  if (!PrepareFileList())
    return sourceFolder.empty() ? std::string(kNoSourceMessage) : NoDestinationMessage(options.format);
  if (platform::Status ready = TextRecognitionReady(options); !ready) return ready.reason();
  return {};
}

RunPlan ConvertForm::Plan(bool byTimer) const {
  RunPlan plan{RunOptions(*this), processPaths.logPath, processPaths.logPathIsDefault};
  plan.options.skipExisting = byTimer;
  return plan;
}

void RunWorker::Start(ConversionJob& job, RunPlan plan, std::unique_ptr<RunEvents> events) {
  Join();
  running_ = true;
  stopRequested_ = false;
  thread_ = std::thread([this, &job, plan = std::move(plan), events = std::move(events)] {
    RunConversion(job, plan, stopRequested_, *events);
  });
}

void RunWorker::RequestStop() {
  if (running_) stopRequested_ = true;
}

void RunWorker::StopAndWait() {
  stopRequested_ = true;
  Join();
  running_ = false;
}

void RunWorker::Finished() {
  Join();
  running_ = false;
  stopRequested_ = false;
}

void RunWorker::Join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace tamarind
