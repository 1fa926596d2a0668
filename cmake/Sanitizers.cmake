# KEL_SANITIZE applies to every target of the project, libraries and tests alike.
if(KEL_SANITIZE)
  add_compile_options(-fsanitize=${KEL_SANITIZE} -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${KEL_SANITIZE})
  if(KEL_SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
endif()
