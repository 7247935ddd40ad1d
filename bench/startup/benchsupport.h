// Small helpers shared by the launcher benchmarks: a desktop that answers
// nothing, a throwaway bundle copy, /proc figures and order statistics.
#pragma once

#include "platform/desktop.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace kd::bench {

// Alerts close without a button, panels are cancelled, everything else is ignored:
// a benchmark must never wait for a person.
class QuietDesktop : public Desktop {
public:
    int alerts = 0;

    int runAlert(const AlertRequest& request) override {
        ++alerts;
        std::fprintf(stderr, "alert: %s\n", qPrintable(request.message));
        return -1;
    }
    std::optional<QString> runOpenPanel(const OpenPanelRequest&) override { return std::nullopt; }
    std::optional<QString> runSavePanel(const SavePanelRequest&) override { return std::nullopt; }
    std::optional<int> runChoice(const ChoiceRequest&) override { return std::nullopt; }
    void beep() override {}
    void playSound(const QString&) override {}
    void systemLog(const QString&) override {}
    bool openPath(const QString&) override { return false; }
    bool openUrl(const QString&) override { return false; }
    bool revealInFileViewer(const QString&, const QString&) override { return false; }
    QList<RunningApplication> runningApplications() override { return {}; }
    bool raiseApplication(const RunningApplication&) override { return false; }
    void noteRecentDocument(const QString&) override {}
    void notify(const QString&, const QString&, const QString&, std::function<void()>) override {}
};

// Copies a folder tree (links as links); false on the first failure.
inline bool copyTree(const QString& from, const QString& to) {
    if (!QDir().mkpath(to))
        return false;
    QDirIterator it(from, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QFileInfo info = it.fileInfo();
        const QString target = to + u'/' + QDir(from).relativeFilePath(source);
        bool ok = true;
        if (info.isSymLink())
            ok = QFile::link(info.symLinkTarget(), target);
        else if (info.isDir())
            ok = QDir().mkpath(target);
        else
            ok = QDir().mkpath(QFileInfo(target).absolutePath()) && QFile::copy(source, target);
        if (!ok) {
            std::fprintf(stderr, "cannot copy %s\n", qPrintable(source));
            return false;
        }
    }
    return true;
}

// A "Name:   123 kB" figure of /proc/self/status in bytes; -1 when missing.
inline long long procStatusBytes(const char* name) {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    char line[256];
    long long value = -1;
    const size_t length = std::strlen(name);
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, name, length) == 0 && line[length] == ':') {
            value = std::atoll(line + length + 1) * 1024;
            break;
        }
    }
    std::fclose(status);
    return value;
}

// Resets VmHWM to the current resident size, so a later VmHWM is the peak of
// what came after. False where the kernel does not allow it.
inline bool resetPeakRss() {
    FILE* refs = std::fopen("/proc/self/clear_refs", "w");
    if (!refs)
        return false;
    const bool ok = std::fputs("5", refs) >= 0;
    return std::fclose(refs) == 0 && ok;
}

// The q-quantile (0..1) by the nearest-rank method; 0 for no samples.
inline double quantile(std::vector<double> samples, double q) {
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const size_t rank = size_t(std::max(0.0, q * double(samples.size()) - 1e-9));
    return samples[std::min(rank, samples.size() - 1)];
}

inline const char* verdict(bool met) {
    return met ? "PASS" : "FAIL";
}

} // namespace kd::bench
