# lattice_bubble_add_fft_build(<target> NAMESPACE <name> LANES <lanes> KERNELS <kernels>)
#
# One build of the FFT engine's sources as a static library whose symbols live
# in the namespace <name>, so that several builds can be linked into one test.
#   LANES runtime  SSE2 lanes, plus the AVX and AVX-512F units chosen at run
#                  time where the processor has them (x86-64 compilers that
#                  know -mavx and -mavx512f)
#   LANES avx      SSE2 lanes and the AVX unit only: the AVX path even on a
#                  processor with AVX-512F
#   LANES sse2     SSE2 lanes only (scalar where the target has no SSE2)
#   LANES scalar   two doubles per complex value
#   KERNELS fused    the fused 8- and 16-point kernels where they apply
#   KERNELS general  every size through the general permutations and stages
include(CheckCXXCompilerFlag)
check_cxx_compiler_flag(-mavx LATTICE_BUBBLE_COMPILER_HAS_MAVX)
check_cxx_compiler_flag(-mavx512f LATTICE_BUBBLE_COMPILER_HAS_MAVX512F)
set(LATTICE_BUBBLE_FFT_CAN_CARRY_AVX OFF)
set(LATTICE_BUBBLE_FFT_CAN_CARRY_AVX512 OFF)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$" AND LATTICE_BUBBLE_COMPILER_HAS_MAVX)
  set(LATTICE_BUBBLE_FFT_CAN_CARRY_AVX ON)
  if(LATTICE_BUBBLE_COMPILER_HAS_MAVX512F)
    set(LATTICE_BUBBLE_FFT_CAN_CARRY_AVX512 ON)
  endif()
endif()

# One unit compiled for wider lanes, as an object library of its own: a source
# file's options hold for every target that compiles it, and only this unit
# may get them.
function(lattice_bubble_add_fft_unit target namespace kernels unit source)
  add_library(${target}_${unit}_unit OBJECT ${source})
  target_include_directories(${target}_${unit}_unit PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${target}_${unit}_unit PRIVATE lattice_bubble_flags)
  target_compile_definitions(${target}_${unit}_unit PRIVATE LATTICE_BUBBLE_FFT_BUILD=${namespace})
  target_compile_options(${target}_${unit}_unit PRIVATE -m${unit} -mno-fma)
  if(kernels STREQUAL "general")
    target_compile_definitions(${target}_${unit}_unit PRIVATE LATTICE_BUBBLE_FFT_GENERAL_KERNELS_ONLY)
  endif()
  if(unit STREQUAL "avx512f" AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC's own 512-bit intrinsics start from an undefined register, which its
    # -Wmaybe-uninitialized reports at every inlined use (GCC 12).
    target_compile_options(${target}_${unit}_unit PRIVATE -Wno-maybe-uninitialized)
  endif()
  target_sources(${target} PRIVATE $<TARGET_OBJECTS:${target}_${unit}_unit>)
endfunction()

function(lattice_bubble_add_fft_build target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "NAMESPACE;LANES;KERNELS" "")
  set(fft_dir ${PROJECT_SOURCE_DIR}/src/fft)
  add_library(${target} STATIC
    ${fft_dir}/complex_fft.cpp
    ${fft_dir}/complex_fft_2d.cpp
    ${fft_dir}/twiddle.cpp)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${target} PUBLIC lattice_bubble_flags)
  target_compile_definitions(${target} PRIVATE LATTICE_BUBBLE_FFT_BUILD=${arg_NAMESPACE})
  if(arg_LANES STREQUAL "scalar")
    target_compile_definitions(${target} PRIVATE LATTICE_BUBBLE_FFT_SCALAR_LANES)
  elseif(arg_LANES STREQUAL "runtime" OR arg_LANES STREQUAL "avx")
    if(LATTICE_BUBBLE_FFT_CAN_CARRY_AVX)
      lattice_bubble_add_fft_unit(${target} ${arg_NAMESPACE} ${arg_KERNELS} avx ${fft_dir}/avx_stages.cpp)
      target_compile_definitions(${target} PRIVATE LATTICE_BUBBLE_FFT_BUILD_CARRIES_AVX)
    endif()
    if(arg_LANES STREQUAL "runtime" AND LATTICE_BUBBLE_FFT_CAN_CARRY_AVX512)
      lattice_bubble_add_fft_unit(${target} ${arg_NAMESPACE} ${arg_KERNELS} avx512f ${fft_dir}/avx512_stages.cpp)
      target_compile_definitions(${target} PRIVATE LATTICE_BUBBLE_FFT_BUILD_CARRIES_AVX512)
    endif()
  elseif(NOT arg_LANES STREQUAL "sse2")
    message(FATAL_ERROR "lattice_bubble_add_fft_build: LANES must be runtime, avx, sse2 or scalar")
  endif()
  if(arg_KERNELS STREQUAL "general")
    target_compile_definitions(${target} PRIVATE LATTICE_BUBBLE_FFT_GENERAL_KERNELS_ONLY)
  elseif(NOT arg_KERNELS STREQUAL "fused")
    message(FATAL_ERROR "lattice_bubble_add_fft_build: KERNELS must be fused or general")
  endif()
endfunction()
