# AddressSanitizer and UndefinedBehaviorSanitizer for every target of the build.
if(ZR_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
if(ZR_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
