#include "support/PluginLoader.h"

#include "support/TestFiles.h"

#ifndef _WIN32
#include <dlfcn.h>
#endif

#ifndef SSTP_PLUGIN_PATH
#error "SSTP_PLUGIN_PATH names the built plug-in module"
#endif

std::string pluginPath() { return SSTP_PLUGIN_PATH; }

LoadedPlugin loadPluginFrom(const std::string& posixPath, std::string* error) {
  LoadedPlugin plugin = {nullptr, nullptr};
  std::string failure;
  void* module = nullptr;
  void* entry = nullptr;
  // Open the module and find GetFilterTable by its undecorated name, as the
  // host does.
#ifdef _WIN32
  std::string path = hostPath(posixPath);
  HMODULE loaded = LoadLibraryA(path.c_str());
  if (loaded == nullptr) {
    failure = "LoadLibraryA(" + path + ") failed with error " + std::to_string(GetLastError());
  } else {
    module = loaded;
    entry = reinterpret_cast<void*>(GetProcAddress(loaded, "GetFilterTable"));
  }
#else
  module = dlopen(posixPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    failure = std::string("dlopen failed: ") + dlerror();
  } else {
    entry = dlsym(module, "GetFilterTable");
  }
#endif
  if (module != nullptr && entry == nullptr) failure = posixPath + " exports no GetFilterTable";
  if (entry != nullptr) {
    plugin.module = module;
    plugin.descriptor = static_cast<uint8_t*>(reinterpret_cast<hostLayout::GetFilterTableFunction>(entry)());
    if (plugin.descriptor == nullptr) failure = "GetFilterTable returned null";
  }
  if (plugin.descriptor == nullptr) plugin.module = nullptr;
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
