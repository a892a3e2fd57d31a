#pragma once
#include <QString>

// The socket of the usbmuxd daemon, through which the device library reaches every
// device. Its address is the one the library itself uses: USBMUXD_SOCKET_ADDRESS when set
// ("UNIX:<path>" or "<host>:<port>"), else the socket file /var/run/usbmuxd.
class UsbmuxdSocket {
  public:
    UsbmuxdSocket() = delete;

    // The address the device library connects to.
    static QString Address();
    // True when something accepts a connection at `address` (in the form of Address()).
    // Blocks for at most about two seconds: call it off the GUI thread.
    static bool Answers(const QString& address);
    // Answers(Address()).
    static bool DaemonAnswers();
};
