#pragma once
// Temporary owner for the engine tests until the scan manager is in the tree: only the
// members the database reader and the carver use.
#include "core/BookmarkRecord.h"
#include "core/CalendarRecord.h"
#include "core/CallRecord.h"
#include "core/ContactRecord.h"
#include "core/MediaFileRecord.h"
#include "core/NoteRecord.h"
#include "core/ReminderRecord.h"
#include "core/SmsConversationRecord.h"
#include "core/WaChatRecord.h"
#include "core/WxContactRecord.h"
#include "core/WxSessionRecord.h"
#include "scan/CScanManager.h"

CScanManager::CScanManager(int typeMask, const char* outputDir, const char* backupDir, int iosVersion,
                           IScanProgress* progress, IFileParser* fileParser)
    : typeMask(uint32_t(typeMask)), backupDir(backupDir ? backupDir : ""),
      outputDir(outputDir ? outputDir : ""), iosVersion(iosVersion), fileParser(fileParser),
      progress(progress) {}
CScanManager::~CScanManager() = default;
void CScanManager::ReportProgress(int dataType, int stage, int done, int total, bool finished) {
    if (!progress) return;
    if (finished) done = total = 1000;
    progress->OnProgress(dataType, stage, done, total, stepDone, stepTotal, accountIndex);
}
