#include "tests/kit/FakeVoiceConverter.h"

#include <QFile>

#include <stdexcept>

namespace kit {

bool FakeVoiceConverter::SaveMP3(const QString& silkPath, const QString& mp3Path) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        calls.emplace_back(silkPath, mp3Path);
    }
    switch (answer.load()) {
    case Answer::Fail:
        return false;
    case Answer::Throw:
        throw std::runtime_error("decoder failed");
    case Answer::Write:
        break;
    }
    QFile out(mp3Path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return false;
    return out.write(Mp3Bytes()) == Mp3Bytes().size();
}

std::vector<std::pair<QString, QString>> FakeVoiceConverter::Calls() const {
    std::lock_guard<std::mutex> lock(mutex);
    return calls;
}

} // namespace kit
