// What each command checks before the port opens, and how it runs on one port.
#pragma once

#include "session.h"

namespace rxmem {

int prepareWords(const Options& options, Job& job);       // read, watch
int prepareAssignments(const Options& options, Job& job); // write
int prepareSave(const Options& options, Job& job);
int prepareFile(const Options& options, Job& job); // load, diff

void readFlow(Session& session);
void writeFlow(Session& session);
void saveFlow(Session& session);
void loadFlow(Session& session);
void diffFlow(Session& session);
void watchFlow(Session& session);

// The words a model's calibration tool reads for its parameters, in its order, each once;
// nothing for a name that is no model's.
std::optional<std::vector<Word>> modelWordList(const QString& name);

} // namespace rxmem
