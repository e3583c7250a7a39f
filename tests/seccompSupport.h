#ifndef LARKWIN_TESTS_SECCOMPSUPPORT_H
#define LARKWIN_TESTS_SECCOMPSUPPORT_H

// Faults injected by the kernel: a seccomp filter that answers chosen system
// calls with an error (or a result) instead of running them, in the calling
// process and whatever it starts from then on. The launcher is linked
// statically, so a filter is the one way to make its own calls fail. Use it in
// a forked child (processSupport.h): the filter cannot be removed.

#ifdef __linux__
#include <cstddef>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <vector>

struct syscallRule {
    long number;
    // The call's result: SECCOMP_RET_ERRNO | e makes it fail with errno e
    // (with e 0 it returns 0 and does nothing); SECCOMP_RET_TRAP ends the
    // process with SIGSYS.
    unsigned action;
    // Matches only calls whose argument argument (its low 32 bits, on
    // little-endian machines) equals value; -1 matches every call.
    int argument = -1;
    unsigned value = 0;
};

// Installs the rules; the first that matches a call decides, and a call that
// none matches runs. False when filters cannot be installed here.
inline bool installSyscallRules(const std::vector<syscallRule>& rules) {
    std::vector<struct sock_filter> program;
    for (const syscallRule& rule : rules) {
        unsigned char skip = rule.argument < 0 ? 1 : 3;
        program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)));
        program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, (unsigned)rule.number, 0, skip));
        if (rule.argument >= 0) {
            program.push_back(
                BPF_STMT(BPF_LD | BPF_W | BPF_ABS,
                         (unsigned)(offsetof(struct seccomp_data, args) + 8 * rule.argument)));
            program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, rule.value, 0, 1));
        }
        program.push_back(BPF_STMT(BPF_RET | BPF_K, rule.action));
    }
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    struct sock_fprog filter = {(unsigned short)program.size(), program.data()};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) == 0;
}

inline syscallRule failing(long number, int error) {
    return {number, SECCOMP_RET_ERRNO | (unsigned)error};
}
#endif

#endif
