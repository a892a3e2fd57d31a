#pragma once

// How the chat-database engine treats one kind of WeChat message database.
struct WxChatOptions {
    // Live rows go through the recovered-row processing (type guessed again from the
    // text, no media paths for images, voice and video); they stay live messages.
    bool liveRowsAsCarved = false;
    // A table's live rows go to the first session of its peer (a new one only when the
    // peer has none), not to a new session per table.
    bool reuseFirstPeerSession = false;
    // A file message's extension is taken from the last '.' of its title (else the first).
    bool extensionFromLastDot = false;
    // Progress stage of the result pass.
    int resultStage = 3;
    // The session summaries are removed from the session parser once filed (else only
    // read; the main chat parser files them later).
    bool consumeSummaries = true;
    // A live row matching a session summary gives no message of its own: it comes in
    // with the summary.
    bool skipLiveRowsMatchingSummary = false;
};
