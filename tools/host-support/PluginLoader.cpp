#include "host-support/PluginLoader.h"

#include "host-support/Files.h"

#ifndef _WIN32
#include <dlfcn.h>
#endif

#ifndef SSTP_PLUGIN_PATH
#error "SSTP_PLUGIN_PATH names the built plug-in module"
#endif

namespace {

// Opens the module file as the host names it; null with `error` set when
// the loader refuses it.
void* openModule(const std::string& path, ModulePath how, std::string* error) {
#ifdef _WIN32
  std::string shown = how == ModulePath::wide ? "\\\\?\\" + hostPath(path) : hostPath(path);
  HMODULE module = how == ModulePath::wide ? LoadLibraryW(longPath(path).c_str()) : LoadLibraryA(shown.c_str());
  if (module == nullptr) {
    DWORD code = GetLastError();
    *error = "cannot load " + shown + " (error " + std::to_string(code) + ")";
  }
  return module;
#else
  (void)how;
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) *error = "cannot load " + path + ": " + dlerror();
  return module;
#endif
}

}  // namespace

void* moduleExport(void* module, const char* name) {
#ifdef _WIN32
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
#else
  return dlsym(module, name);
#endif
}

std::string pluginPath() { return SSTP_PLUGIN_PATH; }

bool copyPlugin(const std::string& posixFolder, std::string* copy) {
  std::string built = pluginPath();
  *copy = posixFolder + built.substr(built.find_last_of('/'));
  std::string bytes = readFileBytes(built);
  return !bytes.empty() && writeFileBytes(*copy, bytes);
}

LoadedPlugin loadPluginFrom(const std::string& path, std::string* error, ModulePath how) {
  LoadedPlugin plugin = {nullptr, nullptr};
  std::string failure;
  void* module = openModule(path, how, &failure);
  // The export by its undecorated name, as the host looks it up.
  auto entry = module != nullptr
                   ? reinterpret_cast<hostLayout::GetFilterTableFunction>(moduleExport(module, "GetFilterTable"))
                   : nullptr;
  if (module != nullptr && entry == nullptr) failure = path + " has no export GetFilterTable";
  if (entry != nullptr) {
    plugin.descriptor = static_cast<uint8_t*>(entry());
    if (plugin.descriptor == nullptr) failure = "GetFilterTable returned null";
  }
  if (plugin.descriptor != nullptr) plugin.module = module;
  if (error != nullptr) *error = failure;
  return plugin;
}

LoadedPlugin loadPlugin(std::string* error) {
  static std::string loadError;
  static LoadedPlugin plugin = loadPluginFrom(pluginPath(), &loadError);
  if (error != nullptr) *error = loadError;
  return plugin;
}

void attachHost(const LoadedPlugin& plugin, const void* functionTable) {
  setPointerAt(plugin.descriptor, hostLayout::kDescriptorFunctionTable, functionTable);
  setPointerAt(plugin.descriptor, hostLayout::kDescriptorModule, plugin.module);
}
