"""The start-up cache's end-to-end cases (test_startup_cache.py) that differ
by version, on the newest JDK of version 24 or later under /usr/lib/jvm,
which links the archive's classes ahead of time; skipped when there is none."""

import unittest

import test_startup_cache as cases
from harness import LauncherTest


@unittest.skipIf(cases.NEWER_JAVA is None, "no JDK 24 or later under /usr/lib/jvm")
class StartupCacheNewerJdk(cases.StartupCacheCases, LauncherTest):
    java = cases.NEWER_JAVA
    shared_source = "shared objects file"
    # What differs by version; the rest runs on JDK 17 only, to keep the
    # test run short (each assembly takes seconds), and is not a case here.
    cases_here = {
        "test_the_second_start_maps_the_first_starts_classes_and_both_show_what_plain_java_shows",
        "test_options_that_keep_the_base_archive_from_loading_make_the_cache_stand_aside",
        "test_the_vms_own_errors_still_show",
        "test_classes_of_the_applications_own_loader_are_mapped_until_their_jar_changes",
        "test_a_cut_or_zeroed_archive_changes_nothing_and_is_made_again",
        "test_an_unwritable_cache_directory_keeps_the_exit_code",
        "test_properties_and_heap_sizes_share_an_archive_and_another_collector_keeps_its_own",
    }


# A name set to None is no test: unittest collects only what it can call.
for _name in dir(cases.StartupCacheCases):
    if _name.startswith("test_") and _name not in StartupCacheNewerJdk.cases_here:
        setattr(StartupCacheNewerJdk, _name, None)


if __name__ == "__main__":
    unittest.main()
