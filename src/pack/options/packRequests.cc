#include "pack/options/packRequests.h"

#include "pack/options/packOptions.h"
#include "pack/package/packageFormat.h"

#include <cstdlib>

bundleRequest createBundleRequest(const packOptions& options) {
    bundleRequest request;
    request.launcher = options.launcher.value_or("");
    request.archives = options.archives;
    request.output = options.output.value_or("");
    request.quiet = options.quiet;
    return request;
}

imageRequest createImageRequest(const packOptions& options) {
    imageRequest request;
    request.directory = options.appImage.value_or("");
    request.name = options.name;
    request.launcher = options.launcher.value_or("");
    request.archives = options.archives;
    request.runtime = options.runtime;
    request.addModules = options.addModules;
    request.excludeModules = options.excludeModules;
    request.keepDebug = options.keepDebug;
    request.quiet = options.quiet;
    request.startupCache = options.mainClass.has_value() && !options.noStartupCache;
    if (options.service) {
        request.service =
            serviceRequest{options.serviceUser, options.serviceNotify, options.serviceLowPort};
    }
    if (options.train) {
        request.training = options.trainArguments;
    }
    for (const std::string& text : options.appContents) {
        appContent content;
        parseAppContent(text, &content);
        request.contents.push_back(content);
    }
    return request;
}

oneFileRequest createOneFileRequest(const packOptions& options) {
    oneFileRequest request;
    request.image = createImageRequest(options);
    request.output = options.output.value_or("");
    return request;
}

packageRequest createPackageRequest(const packOptions& options) {
    packageRequest request;
    request.image = createImageRequest(options);
    request.name = options.name.value_or("");
    request.version = options.appVersion.value_or("");
    request.description = options.description.value_or("");
    request.longDescription = options.longDescription;
    request.maintainer = options.maintainer;
    request.vendor = options.vendor;
    request.homepage = options.homepage;
    request.licenseFile = options.licenseFile;
    request.license = options.license;
    request.icon = options.icon;
    request.wmClass = options.wmClass;
    request.categories = options.categories;
    request.metainfo = options.metainfo;
    request.mainClass = options.mainClass;
    request.fileTypes = options.fileTypes;
    request.urlSchemes = options.urlSchemes;
    if (options.menuEntry || options.noMenuEntry) {
        request.menuEntry = options.menuEntry;
    }
    request.terminal = options.terminal;
    for (size_t i = 0; packageFormats[i] != nullptr; i++) {
        if (options.packageDirectories[i].has_value()) {
            request.outputs.push_back({packageFormats[i], *options.packageDirectories[i],
                                       options.repositoryDirectories[i].value_or("")});
        }
    }
    if (options.updateUrl.has_value() && options.signKey.has_value()) {
        request.updates = updatesRequest{*options.updateUrl, *options.signKey,
                                         options.keep.has_value() ? atoi(options.keep->c_str()) : 3,
                                         options.nextSignKey.value_or("")};
    }
    return request;
}
