#include "vm/associationStubs.h"

#include "unix/fileAssociation.h"

// The interface's table holds char*, so the names live in arrays of their own.
static char checkName[] = "checkAssociation0";
static char checkSignature[] =
    "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;)Z";
static char addName[] = "addAssociation0";
static char addSignature[] =
    "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;)V";

JNINativeMethod methods[2] = {
    {checkName, checkSignature, reinterpret_cast<void*>(checkAssociation_stub)},
    {addName, addSignature, reinterpret_cast<void*>(addAssociation_stub)},
};

namespace {
// A Java string's modified UTF-8 bytes for as long as the object lives. They
// are always handed back: a VM that lends its own bytes instead of a copy
// still needs to know when they are free again.
class utfChars {
  public:
    utfChars(JNIEnv* env, jstring string)
        : env(env), string(string),
          chars(string != nullptr ? env->GetStringUTFChars(string, nullptr) : nullptr) {}
    ~utfChars() {
        if (chars != nullptr) {
            env->ReleaseStringUTFChars(string, chars);
        }
    }
    utfChars(const utfChars&) = delete;
    utfChars& operator=(const utfChars&) = delete;

    const char* get() const { return chars; }

  private:
    JNIEnv* env;
    jstring string;
    const char* chars;
};
} // namespace

jboolean JNICALL checkAssociation_stub(JNIEnv* env, jclass, jstring first, jstring second,
                                       jstring third, jstring fourth) {
    utfChars a(env, first), b(env, second), c(env, third), d(env, fourth);
    return checkAssociation(a.get(), b.get(), c.get(), d.get()) != 0 ? JNI_TRUE : JNI_FALSE;
}

void JNICALL addAssociation_stub(JNIEnv* env, jclass, jstring first, jstring second, jstring third,
                                 jstring fourth) {
    utfChars a(env, first), b(env, second), c(env, third), d(env, fourth);
    addAssociation(a.get(), b.get(), c.get(), d.get());
}
