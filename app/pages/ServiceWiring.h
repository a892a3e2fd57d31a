#pragma once

struct ServiceHooks;

// Connects the shell's service hooks to the services of this process: the permission
// table, the Full Disk Access window, the companion download, update check, feedback,
// the guide flag and the usage reporter. The executable calls it once before the first
// window; tests replace single hooks afterwards.
class ServiceWiring {
  public:
    static void Install(ServiceHooks& hooks);
};
