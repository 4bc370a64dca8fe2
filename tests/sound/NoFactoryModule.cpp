// A sound module that exports no factory.

extern "C" __attribute__((visibility("default"))) int QuorlixSoundNoFactory() {
    return 0;
}
