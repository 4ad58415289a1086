import java.security.Security;
import java.util.Arrays;
import java.util.List;
import javax.net.ssl.SSLContext;
import javax.net.ssl.SSLParameters;

/**
 * Run by the Java launcher with the deploy tool's security properties file: passes when the file
 * was read and lets a client offer what BlackBerry 10 and PlayBook devices speak (TLS 1.0 with RSA
 * key exchange). Without the file it fails, which keeps the check honest.
 */
public class TlsSettingsCheck {
    static final String EXPECTED =
            "SSLv3, RC4, DES, MD5withRSA, DH keySize < 1024, EC keySize < 224, 3DES_EDE_CBC, anon,"
                    + " NULL, ECDH";

    public static void main(String[] args) throws Exception {
        String disabled = Security.getProperty("jdk.tls.disabledAlgorithms");
        SSLParameters client = SSLContext.getDefault().getDefaultSSLParameters();
        List<String> protocols = Arrays.asList(client.getProtocols());
        List<String> suites = Arrays.asList(client.getCipherSuites());
        boolean ok =
                EXPECTED.equals(disabled)
                        && protocols.contains("TLSv1")
                        && protocols.contains("TLSv1.1")
                        && suites.contains("TLS_RSA_WITH_AES_128_CBC_SHA");
        System.out.println("jdk.tls.disabledAlgorithms=" + disabled);
        System.out.println("protocols=" + protocols);
        System.out.println("TLS_RSA_WITH_AES_128_CBC_SHA offered: " + suites.contains(
                "TLS_RSA_WITH_AES_128_CBC_SHA"));
        System.exit(ok ? 0 : 1);
    }
}
