#pragma once

namespace trov {

class File;

// The question the resources ask when a sample file is neither at its recorded place nor in any search
// folder: the plug-in instance answers it (the user may locate the file or skip the sample). Until an
// instance installs itself on the resources, every missing sample is skipped.
// Called on the thread that loads the sample (the user-interface thread), never under a lock that note
// dispatch or a sample player takes.
class MissingSampleHandler {
public:
    virtual ~MissingSampleHandler() = default;
    // True when the user located the file (the file then names it); false to skip the sample.
    virtual bool askForSample(File& file) = 0;
    // Whether askForSample puts the question to the user now; when it cannot, the sample is skipped
    // without a word, and whoever reads a document that named it tells the user instead.
    virtual bool canAskForSample() const { return true; }
};

} // namespace trov
