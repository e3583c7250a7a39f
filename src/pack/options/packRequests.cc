#include "pack/options/packRequests.h"

#include "pack/options/packOptions.h"
#include "pack/package/packageFormat.h"

#include <cstdlib>

static std::optional<std::string> given(const char* value) {
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

static std::vector<std::string> strings(const stringArray& list) {
    std::vector<std::string> all;
    for (int i = 0; i < list.size(); i++) {
        all.push_back(list[i]);
    }
    return all;
}

bundleRequest createBundleRequest(const packOptions& options) {
    bundleRequest request;
    request.launcher = options.launcher != nullptr ? options.launcher : "";
    request.archives = strings(options.archives);
    request.output = options.output != nullptr ? options.output : "";
    request.quiet = options.quiet;
    return request;
}

imageRequest createImageRequest(const packOptions& options) {
    imageRequest request;
    request.directory = options.appImage != nullptr ? options.appImage : "";
    request.name = given(options.name);
    request.launcher = options.launcher != nullptr ? options.launcher : "";
    request.archives = strings(options.archives);
    request.runtime = given(options.runtime);
    request.addModules = given(options.addModules);
    request.excludeModules = given(options.excludeModules);
    request.keepDebug = options.keepDebug;
    request.quiet = options.quiet;
    if (options.service) {
        request.service = serviceRequest{given(options.serviceUser), options.serviceNotify != 0,
                                         options.serviceLowPort != 0};
    }
    if (options.train) {
        request.training = strings(options.trainArguments);
    }
    for (int i = 0; i < options.appContents.size(); i++) {
        appContent content;
        parseAppContent(options.appContents[i], &content);
        request.contents.push_back(content);
    }
    return request;
}

oneFileRequest createOneFileRequest(const packOptions& options) {
    oneFileRequest request;
    request.image = createImageRequest(options);
    request.output = options.output != nullptr ? options.output : "";
    return request;
}

packageRequest createPackageRequest(const packOptions& options) {
    packageRequest request;
    request.image = createImageRequest(options);
    request.name = options.name;
    request.version = options.appVersion;
    request.description = options.description;
    request.longDescription = given(options.longDescription);
    request.maintainer = given(options.maintainer);
    request.vendor = given(options.vendor);
    request.homepage = given(options.homepage);
    request.licenseFile = given(options.licenseFile);
    request.license = given(options.license);
    request.icon = given(options.icon);
    request.wmClass = given(options.wmClass);
    request.categories = given(options.categories);
    request.metainfo = given(options.metainfo);
    request.mainClass = given(options.mainClass);
    request.fileTypes = strings(options.fileTypes);
    request.urlSchemes = strings(options.urlSchemes);
    if (options.menuEntry || options.noMenuEntry) {
        request.menuEntry = options.menuEntry != 0;
    }
    request.terminal = options.terminal != 0;
    for (size_t i = 0; packageFormats[i] != nullptr; i++) {
        const char* repository = options.repositoryDirectories[i];
        if (options.packageDirectories[i] != nullptr) {
            request.outputs.push_back({packageFormats[i], options.packageDirectories[i],
                                       repository != nullptr ? repository : ""});
        }
    }
    if (options.updateUrl != nullptr && options.signKey != nullptr) {
        request.updates = updatesRequest{options.updateUrl, options.signKey,
                                         options.keep != nullptr ? atoi(options.keep) : 3};
    }
    return request;
}
