#include "core/earlier_runs.h"

#include <stdexcept>

#include "core/install_record.h"

namespace dt {

EarlierRuns ReadEarlierRuns(const RemovalInput& input, const KnownFolders& known,
                            std::string* error) {
  EarlierRuns earlier;
  RemovalPlan plan;
  try {
    plan = MakeRemovalPlan(input);
  } catch (const std::invalid_argument& e) {
    if (error) *error = e.what();
    return earlier;
  }
  const bool setAside = !input.anchoredLength;
  // Files a run began to replace: whatever they hold, they were there before that run.
  std::set<std::string> replacing;
  for (const RecordLine& line : input.record.lines) {
    if (line.kind != kRecordTempPending || line.fields.empty()) continue;
    if (const auto target = TemporaryTarget(line.fields[0])) replacing.insert(PathKey(*target));
  }
  for (const PlannedFile& file : plan.files) {
    if (file.done) continue;
    const bool vouched = file.anchored && !setAside;
    const Place place = Classify(file.path, known);
    if (place == Place::kOutside) continue;
    if (file.temporary) {
      // An anchored run deleted its temporary files or renamed them over their targets before it
      // ended: only those of runs that did not end may be left.
      if (!vouched && place == Place::kInstallFolder && TemporaryTarget(file.path)) {
        earlier.temporaries.push_back(file.path);
      }
    } else if (file.announcedOnly) {
      if (place == Place::kInstallFolder && !replacing.count(PathKey(file.path))) {
        earlier.unconfirmed.push_back(file.path);
      }
    } else if (file.createdByProduct && (vouched || place == Place::kInstallFolder)) {
      if (!setAside) {
        earlier.created.insert(PathKey(file.path));
      } else if (!file.shared && file.size && file.lastWrite) {
        earlier.carriedFiles.push_back(file);
      }
    }
  }
  if (setAside) {
    // Not the installation folder itself: that the product made it is what lets the uninstaller
    // remove files the product only replaced there, and only an anchor may say so.
    const std::string installKey = PathKey(input.installFolder);
    for (const PlannedFolder& folder : plan.folders) {
      if (!folder.done && Classify(folder.path, known) == Place::kInstallFolder &&
          PathKey(folder.path) != installKey) {
        earlier.carriedFolders.push_back(folder.path);
      }
    }
  }
  return earlier;
}

}  // namespace dt
